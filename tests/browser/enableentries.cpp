// Switches the browser entry points as the Options dialog does on OK, for the browser tests:
//   enableentries <enabled> <context menu> <toolbar button> <tools menu>   (each 0 or 1)
// Prints Enable's result and what QueryState then reads back.
#include "browser/extensionregistrar.h"

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: enableentries <enabled> <context> <toolbar> <tools>\n");
        return 2;
    }
    auto flag = [&](int i) {
        return std::strcmp(argv[i], "1") == 0;
    };
    Tarnwick::ExtensionRegistrar registrar;
    const bool applied = registrar.Enable(flag(1), flag(2), flag(3), flag(4));
    bool contextMenu = false;
    bool toolbarButton = false;
    bool toolsMenu = false;
    const int state = registrar.QueryState(contextMenu, toolbarButton, toolsMenu);
    std::printf("applied=%d state=%d entries=%d%d%d\n", int(applied), state, int(contextMenu),
                int(toolbarButton), int(toolsMenu));
    return 0;
}
