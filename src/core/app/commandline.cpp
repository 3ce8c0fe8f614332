#include "commandline.h"

#include "urlcheck.h"

namespace Tarnwick {

const char* const UsageText = "Usage: Kestrum <url1> [<url2> < url3> ...] [<output folder>]";

CommandLineArgs ParseCommandLine(const QStringList& arguments) {
    CommandLineArgs args;
    for (const QString& argument : arguments) {
        if (argument.startsWith(u'-')) {
            const QString flag = argument.mid(1);
            // Flags are case-sensitive: "-H" is not a usage flag.
            if (flag == u"?" || flag == u"h" || flag == u"-help")
                args.request = CommandLineArgs::ShowUsage;
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
