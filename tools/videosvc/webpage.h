#pragma once

#include "routes.h"

#include <filesystem>
#include <string>
#include <vector>

namespace VideoService {

// What the service's web pages share: their titles, their head, and the renditions they offer.

// The whole file at path; false when it cannot be read.
bool ReadText(const std::filesystem::path& path, std::string& text);
// The title in <id>.title of the media folder, else the id.
std::string TitleOf(const Library& library, const std::string& id);
// text with &, <, > and " written as entities.
std::string EscapeHtml(const std::string& text);
// The document's start up to </head>, with extra inside the head.
std::string PageHead(const std::string& title, const std::string& extra = {});
// The heights of the renditions <id>-<height>.mp4 in the media folder, smallest first.
std::vector<int> RenditionHeights(const Library& library, const std::string& id);

} // namespace VideoService
