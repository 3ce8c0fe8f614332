#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Tarnwick {

// The usage text shown for the usage flags, naming the program as it was started.
QString UsageText(const QString& programName);

struct CommandLineArgs {
    enum Request { Nothing = 0, ShowUsage = 1, AddressesGiven = 2 };

    int request = Nothing;
    QStringList urls;     // the URL arguments, in their order
    QString outputFolder; // the last argument that is neither a flag nor a URL
    // "--new-window": open a window of its own even when one already runs for these settings.
    bool newWindow = false;
    // "--cookies-from-stdin": the addresses' site cookies, in the cookies.txt format, come on
    // standard input (from the browser's helper, through a pipe). Read into handedCookies.
    bool cookiesFromInput = false;
    QByteArray handedCookies;
};

// Parses the arguments after the program name. "-" introduces a flag; "-?" and "-h" (and
// "--help") ask for the usage text, "--new-window" for a window of its own,
// "--cookies-from-stdin" for the site's cookies on standard input; every other flag is ignored.
// An argument that begins with "/" is a path here, not a flag. Addresses win over the usage
// request: "-? URL" queues URL.
CommandLineArgs ParseCommandLine(const QStringList& arguments);

} // namespace Tarnwick
