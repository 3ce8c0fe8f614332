#include "commandline.h"

#include "urlcheck.h"

namespace Tarnwick {

QString UsageText(const QString& programName) {
    return QStringLiteral("Usage: %1 <url1> [<url2> <url3> ...] [<output folder>]").arg(programName);
}

CommandLineArgs ParseCommandLine(const QStringList& arguments) {
    CommandLineArgs args;
    for (const QString& argument : arguments) {
        if (argument.startsWith(u'-')) {
            const QString flag = argument.mid(1);
            // Flags are case-sensitive: "-H" is not a usage flag.
            if (flag == u"?" || flag == u"h" || flag == u"-help")
                args.request = CommandLineArgs::ShowUsage;
            else if (flag == u"-new-window")
                args.newWindow = true;
            else if (flag == u"-cookies-from-stdin")
                args.cookiesFromInput = true;
        } else if (IsUrl(argument)) {
            args.urls.append(argument);
        } else {
            args.outputFolder = argument;
        }
        if (!args.urls.isEmpty())
            args.request = CommandLineArgs::AddressesGiven;
    }
    return args;
}

} // namespace Tarnwick
