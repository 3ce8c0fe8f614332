# Shared by the Wine tests: a fresh 64-bit prefix of the test's own, headless, and helpers to read
# the registry back through Wine's own reg tool. Sourced with the Windows build's bin folder and
# the test's work folder as $1 and $2. Exits 77 (skipped) where Wine cannot run.
set -euo pipefail

WINDOWS_BIN=$1
WORK=$2
failures=0

skip() {
    echo "SKIPPED: $*"
    exit 77
}
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
expect_equal() { # what expected actual
    [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}

command -v wine >/dev/null 2>&1 || skip "wine is not installed"
command -v wineserver >/dev/null 2>&1 || skip "wineserver is not installed"
for program in Quillet.dll recorder.exe quilletdriver.exe registrardriver.exe IEPage.html IELink.html; do
    [ -f "$WINDOWS_BIN/$program" ] || { echo "FAIL: $WINDOWS_BIN/$program was not built"; exit 1; }
done

export WINEPREFIX="$WORK/prefix"
export WINEDEBUG=-all
# No runtime downloads (mono, gecko) and no display: everything here is headless.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Arguments reach Windows programs as UTF-8; the ANSI code page stays the Western one.
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY

finish() {
    local status=$?
    wineserver -k >/dev/null 2>&1 || true
    # A passed test leaves no prefix behind; a failed one keeps it for a look.
    if [ "$status" -eq 0 ]; then
        rm -rf "$WINEPREFIX"
    fi
}

rm -rf "$WORK"
mkdir -p "$WORK"
trap finish EXIT
wine wineboot --init >"$WORK/wineboot.log" 2>&1 || skip "wine cannot create a prefix here (see $WORK/wineboot.log)"
wineserver -w
[ -d "$WINEPREFIX/drive_c/windows/system32" ] || skip "wine created no prefix here"

# The installation folder C:\tw as Tarnwick sees it; $TW is its Unix path.
TW="$WINEPREFIX/drive_c/tw"
mkdir -p "$TW"

# `wine reg query` with its arguments, printing what it found. A missing key answers nothing and
# status 1. Any other failure (the prefix's server busy or restarting) is tried again a few times,
# because the checks must tell a missing key from a query that did not get through; the last
# failure's message goes to stderr and ends with status 2.
reg_query() {
    local attempt out err
    err="$WORK/reg-query.err"
    for attempt in 1 2 3 4 5; do
        if out=$(wine reg query "$@" 2>"$err"); then
            printf '%s\n' "$out"
            return 0
        fi
        # reg prints this one on stdout, other failures on stderr.
        if grep -qi "unable to find" - "$err" <<<"$out"; then
            return 1
        fi
        sleep 1
    done
    echo "wine reg query $* failed $attempt times:" >&2
    cat - "$err" <<<"$out" >&2
    return 2
}

# Every key below $1 with its values, one line each: "key|name|type|data" ("key|||" for the key
# itself). Nothing when the key is missing.
reg_dump() {
    reg_query "$1" /s | tr -d '\r' | awk -F '    ' '
        /^HKEY_/ { key = $0; print key "|||"; next }
        NF >= 3 { print key "|" $2 "|" $3 "|" $4 }' || true
}

# The values of one key, "name|type|data" sorted, without the key line.
reg_values() {
    reg_query "$1" | tr -d '\r' | awk -F '    ' 'NF >= 3 && !/^HKEY_/ { print $2 "|" $3 "|" $4 }' | sort || true
}

key_exists() {
    local status=0
    reg_query "$1" >/dev/null || status=$?
    [ "$status" -eq 2 ] && fail "could not ask whether $1 exists"
    [ "$status" -eq 0 ]
}

# Waits until every process started in the prefix has ended, so that what was (or was not)
# started has shown up in the recorders' logs.
wait_for_programs() {
    wineserver -w
}

report() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks passed"
}
