#!/usr/bin/env bash
# Quillet.dll registers its twelve class entries and its type library, replaces its class key
# whole when registered again, and on unregistration removes them all but keeps the CLSID key.
source "$(dirname "$0")/winetest.sh"

cp "$WINDOWS_BIN/Quillet.dll" "$TW/"
MODULE='C:\tw\Quillet.dll'
CLASS='{5A0C81D2-3E47-4B96-A1F8-62D7C90B4E13}'
LIBRARY='{3C9B2E70-58D1-4F2A-9E64-B07A13D58C21}'
ROOT='HKEY_CLASSES_ROOT'
CLASS_KEY="$ROOT\\CLSID\\$CLASS"

ENTRIES=(
    "$ROOT\\Ostrand.Tarnwick.Quillet.1|(Default)|REG_SZ|Tarnwick.Quillet"
    "$ROOT\\Ostrand.Tarnwick.Quillet.1\\CLSID|(Default)|REG_SZ|$CLASS"
    "$ROOT\\Ostrand.Tarnwick.Quillet|(Default)|REG_SZ|Tarnwick.Quillet"
    "$ROOT\\Ostrand.Tarnwick.Quillet\\CLSID|(Default)|REG_SZ|$CLASS"
    "$ROOT\\Ostrand.Tarnwick.Quillet\\CurVer|(Default)|REG_SZ|Ostrand.Tarnwick.Quillet.1"
    "$CLASS_KEY|(Default)|REG_SZ|Tarnwick.Quillet"
    "$CLASS_KEY\\ProgID|(Default)|REG_SZ|Ostrand.Tarnwick.Quillet.1"
    "$CLASS_KEY\\VersionIndependentProgID|(Default)|REG_SZ|Ostrand.Tarnwick.Quillet"
    "$CLASS_KEY\\Programmable|||"
    "$CLASS_KEY\\InprocServer32|(Default)|REG_SZ|$MODULE"
    "$CLASS_KEY\\InprocServer32|ThreadingModel|REG_SZ|Apartment"
    "$CLASS_KEY\\TypeLib|(Default)|REG_SZ|$LIBRARY"
)
TYPELIB_ENTRY="$ROOT\\TypeLib\\$LIBRARY\\1.0\\0\\win64|(Default)|REG_SZ|$MODULE"

registry_now() {
    {
        reg_dump "$ROOT\\Ostrand.Tarnwick.Quillet.1"
        reg_dump "$ROOT\\Ostrand.Tarnwick.Quillet"
        reg_dump "$CLASS_KEY"
        reg_dump "$ROOT\\TypeLib\\$LIBRARY"
    } >"$WORK/registry.txt"
}
has_line() {
    grep -qxF -- "$1" "$WORK/registry.txt"
}

# Registered twice: the second time over a stale subkey, which must not survive.
wine regsvr32 /s 'C:\tw\Quillet.dll' || fail "regsvr32 /s reported failure"
wine reg add "$CLASS_KEY\\Stale" /ve /d old /f >/dev/null
wine regsvr32 /s 'C:\tw\Quillet.dll' || fail "regsvr32 /s reported failure the second time"
registry_now
for entry in "${ENTRIES[@]}" "$TYPELIB_ENTRY"; do
    has_line "$entry" || fail "registered: missing $entry"
done
! grep -qF 'Stale' "$WORK/registry.txt" || fail "registering again kept a stale subkey of the class key"

# The registered library is what a client gets: created by ProgID, with the type library's
# identifiers, interfaces, counts and resources.
wine "$WINDOWS_BIN/quilletdriver.exe" library 'C:\tw\Quillet.dll' ||
    fail "the library's checks failed"

wine regsvr32 /u /s 'C:\tw\Quillet.dll' || fail "regsvr32 /u /s reported failure"
registry_now
[ ! -s "$WORK/registry.txt" ] || fail "unregistered: left behind $(tr '\n' ' ' <"$WORK/registry.txt")"
key_exists "$ROOT\\CLSID" || fail "unregistering removed the CLSID key"

report
