// The page scanner on any bytes: whatever it finds is text taken from the page, and decoding
// character references never makes a text longer than its source.

#include "fuzzcheck.h"
#include "retrieval/sources/htmlvideoscan.h"

#include <cstdint>
#include <cstdlib>

using namespace Tarnwick;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const HtmlVideoScan scan = ScanHtmlForVideo(bytes);
    const qsizetype limit = bytes.size();
    for (const QString* found :
         {&scan.baseHref, &scan.ogVideoSecureUrl, &scan.ogVideoUrl, &scan.ogVideo, &scan.twitterPlayerStream,
          &scan.jsonLdContentUrl, &scan.ogTitle, &scan.title})
        Require(found->size() <= limit);
    for (const HtmlVideoSource& source : scan.videoSources) {
        Require(source.url.size() <= limit);
        IsPlayableSourceType(source.type);
    }
    const QString text = QString::fromUtf8(bytes);
    Require(DecodeCharacterReferences(text).size() <= text.size());
    return 0;
}
