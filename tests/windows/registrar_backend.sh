#!/usr/bin/env bash
# The registrar's registry entries for the browser, read back with Wine's reg tool: enabling,
# disabling and changing single entry points, with the library registration started once per
# enabling and never on disabling. regsvr32 of the prefix is a recorder here.
source "$(dirname "$0")/winetest.sh"

cp "$WINDOWS_BIN/registrardriver.exe" "$TW/"
SYSTEM32="$WINEPREFIX/drive_c/windows/system32"
cp "$WINDOWS_BIN/recorder.exe" "$SYSTEM32/regsvr32.exe"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;regsvr32.exe=n"

PAGE_KEY='HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\MenuExt\Download Video on This Page'
LINK_KEY='HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\MenuExt\Download Video This Links To'
EXTENSION_KEY='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Internet Explorer\Extensions\{5A0C81D2-3E47-4B96-A1F8-62D7C90B4E13}'
BUTTON_VALUES='Default Visible|REG_SZ|Yes
ButtonText|REG_SZ|Download Video
HotIcon|REG_SZ|C:\tw\Quillet.dll,202
Icon|REG_SZ|C:\tw\Quillet.dll,201'
MENU_VALUES='MenuCustomize|REG_SZ|Tools
MenuText|REG_SZ|Download Video on This Page
MenuStatusBar|REG_SZ|Download video on this web page using Tarnwick'
IDENTITY_VALUES='(Default)|REG_SZ|Tarnwick
CLSID|REG_SZ|{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}
Script|REG_SZ|C:\tw\IEPage.html'

registrar() { # arguments of the driver; prints its answer
    wine 'C:\tw\registrardriver.exe' "$@" | tr -d '\r'
}
# Enables or disables, then checks Apply's result, QueryState's answer and how often regsvr32 has
# been started so far, with the parameters it got.
step() { # name "enabled context toolbar tools" applied state starts
    local name=$1 applied=$3 state=$4 starts=$5
    # shellcheck disable=SC2086
    expect_equal "$name: result of Enable" "$applied" "$(registrar enable $2)"
    expect_equal "$name: QueryState" "$state" "$(registrar query)"
    wait_for_programs
    touch "$SYSTEM32/regsvr32.log"
    expect_equal "$name: regsvr32 starts so far" "$starts" "$(grep -cxF '/s /c "C:\tw\Quillet.dll"' "$SYSTEM32/regsvr32.log")"
    expect_equal "$name: regsvr32 parameters" "$starts" "$(wc -l <"$SYSTEM32/regsvr32.log" | tr -d ' ')"
}
expect_values() { # what key values-or-"absent"
    if [ "$3" = absent ]; then
        ! key_exists "$2" || fail "$1: $2 is still there"
    else
        expect_equal "$1: values of $2" "$(sort <<<"$3")" "$(reg_values "$2")"
    fi
}
expect_context_items() { # what present|absent
    if [ "$2" = present ]; then
        expect_values "$1" "$PAGE_KEY" $'(Default)|REG_SZ|C:\\tw\\IEPage.html\nContexts|REG_DWORD|0x7f'
        expect_values "$1" "$LINK_KEY" $'(Default)|REG_SZ|C:\\tw\\IELink.html\nContexts|REG_DWORD|0x20'
    else
        expect_values "$1" "$PAGE_KEY" absent
        expect_values "$1" "$LINK_KEY" absent
    fi
}

# Enabling all three on a clean system; the folder is the driver's own, which is then stored.
step "all on" "1 1 1 1" 1 "2 1 1 1" 1
expect_context_items "all on" present
expect_values "all on" "$EXTENSION_KEY" "$BUTTON_VALUES
$MENU_VALUES
$IDENTITY_VALUES"
expect_equal "all on: InstallDir stored" 'InstallDir|REG_SZ|C:\tw' \
    "$(reg_values 'HKCU\Software\Ostrand\Tarnwick' | grep '^InstallDir|')"

# Turning the extension off removes everything and registers nothing.
step "off" "0 1 1 1" 1 "0 0 0 0" 1
expect_context_items "off" absent
expect_values "off" "$EXTENSION_KEY" absent

# Only the Tools menu item on a clean system: removing the entries that are not there fails, so
# the result is false, but the Tools and identity values are written.
step "Tools only" "1 0 0 1" 0 "1 0 0 1" 2
expect_context_items "Tools only" absent
expect_values "Tools only" "$EXTENSION_KEY" "$MENU_VALUES
$IDENTITY_VALUES"

# The toolbar button off while the Tools item stays on removes only the four button values.
step "all on again" "1 1 1 1" 1 "2 1 1 1" 3
step "button off" "1 1 0 1" 1 "1 1 0 1" 4
expect_context_items "button off" present
expect_values "button off" "$EXTENSION_KEY" "$MENU_VALUES
$IDENTITY_VALUES"

report
