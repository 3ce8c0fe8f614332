// Runs the registrar's operations from the command line, for the Wine tests:
//   registrardriver enable <enabled> <contextMenu> <toolbarButton> <toolsMenu>   (each 0 or 1)
//   registrardriver query
// and prints what they returned.
#include "extensionregistrar.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    tarnwick::ExtensionRegistrar registrar;
    if (argc == 6 && std::strcmp(argv[1], "enable") == 0) {
        auto on = [&](int index) {
            return std::strcmp(argv[index], "1") == 0;
        };
        std::printf("%d\n", registrar.Enable(on(2), on(3), on(4), on(5)) ? 1 : 0);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "query") == 0) {
        bool contextMenu = false, toolbarButton = false, toolsMenu = false;
        const int state = registrar.QueryState(contextMenu, toolbarButton, toolsMenu);
        std::printf("%d %d %d %d\n", state, contextMenu, toolbarButton, toolsMenu);
        return 0;
    }
    std::fprintf(stderr, "usage: registrardriver enable <e> <c> <t> <m> | query\n");
    return 2;
}
