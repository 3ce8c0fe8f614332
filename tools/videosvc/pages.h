#pragma once

#include <string>

namespace VideoService {

// The page texts the service writes. Titles and names are UTF-8.

// The stream token the page hands out for a video id; the stream request must bring it back.
std::string TokenFor(const std::string& videoId);

// The watch page of a video: the title element and the player's argument block, which hands
// out token (the video's own token when empty).
std::string WatchPage(const std::string& videoId, const std::string& title, const std::string& token = {});

// Page text in other encodings; the input is UTF-8.
std::string ToUtf16(const std::string& utf8, bool bigEndian, bool withMark);
// Characters outside Windows-1252 become '?'.
std::string ToWindows1252(const std::string& utf8);

} // namespace VideoService
