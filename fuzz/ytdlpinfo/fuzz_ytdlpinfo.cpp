// yt-dlp's info JSON on any bytes (a site can put nearly anything into it), and the choice of
// formats made from what was read: whatever it says, a choice names formats that exist, and
// nothing reaches a request that is not an http or https address or carries a line break.

#include "fuzzcheck.h"
#include "retrieval/sources/ytdlp/ytdlpformatchoice.h"
#include "retrieval/sources/ytdlp/ytdlpinfo.h"

#include <algorithm>
#include <cstdint>

using namespace Tarnwick;

namespace {

bool IsWebAddress(const QString& url) {
    return url.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

bool IsOneLine(const QByteArray& text) {
    return !text.contains('\r') && !text.contains('\n');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    YtDlpInfo info;
    QString reason;
    if (!ParseYtDlpInfo(bytes, info, reason)) {
        Require(!reason.isEmpty());
        return 0;
    }
    for (const YtDlpFormat& format : info.formats) {
        if (IsHttpFormat(format) || IsHlsFormat(format))
            Require(IsWebAddress(format.url));
        for (const auto& [name, value] : format.httpHeaders)
            Require(!name.isEmpty() && IsOneLine(name) && IsOneLine(value));
    }
    const bool anyPicture = std::any_of(info.formats.begin(), info.formats.end(),
                                        [](const YtDlpFormat& f) { return f.hasVideo; });
    for (VideoQuality quality : {VideoQuality::Standard, VideoQuality::HighFlv, VideoQuality::HighMp4})
        for (int limit : {0, 480})
            for (const QString& codec : {QString(), QStringLiteral("vp9")}) {
                // A chosen format the input may name, or not.
                const QString exact = info.formats.isEmpty() ? QString() : info.formats.first().id;
                const YtDlpChoice choice =
                    ChooseYtDlpFormats(info.formats, PictureWish{quality, limit, codec, exact});
                Require(choice.video < info.formats.size() && choice.audio < info.formats.size());
                Require(choice.video >= -1 && choice.audio >= -1);
                Require(choice.IsEmpty() || choice.video != choice.audio);
                // No wish leaves a video without its picture.
                Require(!anyPicture || choice.video >= 0);
            }
    return 0;
}
