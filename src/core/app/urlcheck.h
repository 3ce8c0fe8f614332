#pragma once

#include <QStringView>

class QUrl;

namespace Tarnwick {

// True when the text has the shape of a URL: a scheme of at least two characters (a letter,
// then letters, digits, "+", "-" or "."), a colon, and anything after it. The command line
// and the job list both decide with this one rule what counts as an address.
bool IsUrl(QStringView text);

// True for an address the program fetches or hands to a browser: scheme http or https, in
// any letter case. Anything else (file:, javascript:, ftp:) is never followed.
bool IsWebUrl(const QUrl& url);

} // namespace Tarnwick
