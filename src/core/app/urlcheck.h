#pragma once

#include <QStringView>

namespace Tarnwick {

// True when the text has the shape of a URL: a scheme of at least two characters (a letter,
// then letters, digits, "+", "-" or "."), a colon, and anything after it. The command line
// and the job list both decide with this one rule what counts as an address.
bool IsUrl(QStringView text);

} // namespace Tarnwick
