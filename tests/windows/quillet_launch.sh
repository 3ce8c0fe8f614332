#!/usr/bin/env bash
# Download starts "<InstallDir>\Tarnwick.exe" (a recorder here) with the address in double
# quotes as the whole parameter text, from a script, the script pages and through IDispatch
# alike, and starts nothing when the folder is unknown or the address cannot be handed over intact.
source "$(dirname "$0")/winetest.sh"

cp "$WINDOWS_BIN/Quillet.dll" "$TW/"
cp "$WINDOWS_BIN/recorder.exe" "$TW/Tarnwick.exe"
cp "$(dirname "$0")/download.js" "$TW/"
wine regsvr32 /s 'C:\tw\Quillet.dll' || fail "regsvr32 /s reported failure"

SETTINGS='HKCU\Software\Ostrand\Tarnwick'
set_install_dir() {
    wine reg add "$SETTINGS" /v InstallDir /t REG_SZ /d "$1" /f >/dev/null
}
script_download() { # address
    wine cscript //nologo 'C:\tw\download.js' "$1" || fail "script: Download of [$1] raised an error"
}
driver() { # invoke|invoke-null|call address...
    wine "$WINDOWS_BIN/quilletdriver.exe" "$@" >"$WORK/driver.txt" || fail "driver $1: $(cat "$WORK/driver.txt")"
}
repeat() { # count text
    printf "%${1}s" '' | tr ' ' "$2"
}

# Nothing may start while the folder is unknown: no value, an empty one, or one too long for the
# path of the program. Each call still succeeds.
script_download 'http://example.test/watch?v=no-folder-script'
driver call 'http://example.test/watch?v=no-folder'
set_install_dir ''
driver call 'http://example.test/watch?v=empty-folder'
set_install_dir "C:\\$(repeat 1012 d)"
driver call 'http://example.test/watch?v=folder-too-long'
# Without Tarnwick.exe in the folder the launch fails quietly.
set_install_dir 'C:\missing'
driver call 'http://example.test/watch?v=no-program'

set_install_dir 'C:\tw'
# The quoted form of the longest address fills the 1024-byte parameter buffer exactly.
PREFIX='http://example.test/watch?v='
FITS="$PREFIX$(repeat $((1021 - ${#PREFIX})) f)"
TOO_LONG="$PREFIX$(repeat $((1022 - ${#PREFIX})) l)"
script_download 'http://example.test/watch?v=script'
driver invoke 'http://example.test/watch?v=invoke' 'http://example.test/watch?v=a中b' "$FITS" "$TOO_LONG" \
    'http://example.test/watch?v=x" "C:\other' 'http://example.test/watch?v=x＂ -evil'
driver invoke-null
driver call 'http://example.test/watch?v=call'
# Backslashes that end an address are doubled, so that the closing quote still ends it.
driver call 'http://example.test/dir\' 'http://example.test/a\b'

# The script pages, run by the script host with the browser's menu arguments stood in for: the
# shown page's address, and a click on an image inside a link.
page_script() { # page prelude
    {
        echo "$2"
        sed -n '/<script/,/<\/script>/p' "$WINDOWS_BIN/$1" | grep -v '<script\|</script>'
    } >"$TW/$1.js"
    wine cscript //nologo "C:\\tw\\$1.js" || fail "$1: the script host reported an error"
}
page_script IEPage.html 'var external = { menuArguments: { document: { URL: "http://example.test/watch?v=page" } } };'
page_script IELink.html 'var link = { tagName: "A", href: "http://example.test/watch?v=link", parentElement: null };
var external = { menuArguments: { event: { srcElement: { tagName: "IMG", parentElement: link } } } };'
wait_for_programs

# Characters outside the code page arrive as its default character, "?"; the full-width quote
# is mapped to a plain one by the conversion, and so refused like it.
cat >"$WORK/expected.txt" <<EXPECTED
"http://example.test/watch?v=script"
"http://example.test/watch?v=invoke"
"http://example.test/watch?v=a?b"
"$FITS"
""
"http://example.test/watch?v=call"
"http://example.test/dir\\\\"
"http://example.test/a\\b"
"http://example.test/watch?v=page"
"http://example.test/watch?v=link"
EXPECTED
touch "$TW/Tarnwick.log"
diff <(sort "$WORK/expected.txt") <(sort "$TW/Tarnwick.log") >"$WORK/diff.txt" ||
    fail "Tarnwick.exe was started with other parameters than expected (< expected, > started):
$(cat "$WORK/diff.txt")"

report
