#pragma once

#include <string>

namespace VideoService {

// The text with every byte but letters, digits and "-_.~" written as %XX: fit for a query
// parameter or an RFC 5987 file name.
std::string PercentEncode(const std::string& text);

} // namespace VideoService
