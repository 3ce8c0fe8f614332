#pragma once

#include <QByteArray>
#include <QString>

namespace Quillet {

// Starts <InstallDir>/tarnwick with the address as its one argument: its own process in its own
// session, so that the browser ending the host does not end it, with no shell in between and
// none of the host's pipes. With cookies (a cookies.txt text) it is started with
// "--cookies-from-stdin" before the address and reads them from a pipe that is its standard
// input. Returns an empty text when it started, else why it did not.
QString LaunchTarnwick(const QString& url, const QByteArray& cookies = {});

} // namespace Quillet
