#pragma once
// The browser's entry points on Windows: the per-user context menu keys, and the toolbar button and
// Tools menu item of one extension key, plus the registration of the launcher library that they
// all end up calling.
#include <string>

namespace tarnwick {

class ExtensionRegistrar {
public:
    ExtensionRegistrar();
    virtual ~ExtensionRegistrar() = default;

    // Apply(true, ...) with the three entry points when enabled, else removes all of them.
    virtual bool Enable(bool enabled, bool contextMenu, bool toolbarButton, bool toolsMenu);
    // 0 when no entry point is present, 2 when all three are, else 1.
    virtual int QueryState(bool& contextMenu, bool& toolbarButton, bool& toolsMenu);
    // Runs all five steps whatever fails; true only when every one of them succeeded.
    virtual bool Apply(bool registerLibrary, bool contextMenu, bool toolbarButton, bool toolsMenu);

private:
    std::string libraryName_;
};

} // namespace tarnwick
