// A watch page as the resolver receives it: bytes in any encoding, turned into text, parsed for
// the stream request and the title, and the title made into a file name.

#include "fuzzcheck.h"
#include "retrieval/job/fileoperations.h"
#include "retrieval/sources/textencoding.h"
#include "retrieval/sources/watchpageparser.h"

#include <QFile>
#include <cstdint>
#include <cstdlib>

using namespace Tarnwick;

namespace {

// Text that can be written as UTF-8: every surrogate has its partner.
bool SurrogatesPaired(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    // A detector's earlier result stays whole after a later call.
    TextEncodingDetector detector;
    const QByteArray first = detector.Normalize(bytes);
    const QByteArray firstCopy(first.constData(), first.size());
    detector.Normalize(bytes.left(bytes.size() / 2));
    Require(first == firstCopy);

    const QString page = PageBytesToText(bytes);
    if (detector.Kind() != TextEncoding::PlainText)
        Require(SurrogatesPaired(page));

    const WatchPageParser parser(QStringLiteral("127.0.0.1:8123"));
    QString streamUrl;
    QString title;
    if (!parser.Parse(page, streamUrl, title))
        return 0;
    Require(streamUrl.startsWith(QStringLiteral("http://127.0.0.1:8123/get_video?")));
    Require(!title.isEmpty() && title.size() <= 4096);
    const QString name = FitFileName(SanitizeFileName(title), QStringLiteral(".flv"));
    Require(name.endsWith(QStringLiteral(".flv")) && QFile::encodeName(name).size() <= 255);
    Require(!name.contains(QLatin1Char('/')) && !name.contains(QChar(0)));
    return 0;
}
