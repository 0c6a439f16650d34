#!/usr/bin/env bash
# The command-line conventions of the four programs in BIN: --help and --version answer with
# status 0, an unknown option gets one line on stderr and status 2, and the window without a
# display says so in one line and ends with status 1 instead of Qt's abort.
set -u
bin="$1"
failures=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# expect STATUS STREAM LINES PATTERN -- COMMAND...: STREAM (out/err) has LINES lines (any when
# empty) and matches PATTERN (grep -E).
expect() {
    local status=$1 stream=$2 lines=$3 pattern=$4
    shift 5
    "$@" >"$scratch/out" 2>"$scratch/err"
    local got=$? file="$scratch/$stream"
    if [ "$got" != "$status" ] || ! grep -qE -- "$pattern" "$file" ||
        { [ -n "$lines" ] && [ "$(wc -l <"$file")" != "$lines" ]; }; then
        echo "FAIL: $*: status $got (want $status), $stream was:" >&2
        cat "$file" >&2
        failures=$((failures + 1))
    fi
}

version=$(sed -n 's/.*kVersion = "\(.*\)".*/\1/p' "$bin/../generated/Version.h")
for program in dsadmin dsfile dsadmin-sandbox dsadmin-cli; do
    expect 0 out 1 "^$program $version\$" -- env -u DISPLAY "$bin/$program" --version
    expect 0 out 1 "^$program $version\$" -- env -u DISPLAY "$bin/$program" -v
    expect 0 out "" "$program" -- env -u DISPLAY "$bin/$program" --help
    expect 2 err 1 "^$program: .*frob" -- env -u DISPLAY "$bin/$program" --frob
done
# The window refuses Qt's own options and arguments: nothing but --help/--version is taken.
expect 2 err 1 "platform" -- env -u DISPLAY "$bin/dsadmin" -platform offscreen
expect 2 err 1 "Setup.ini" -- env -u DISPLAY "$bin/dsadmin" Setup.ini
# Its help names the real application folder, also when started through a link.
ln -s "$bin/dsadmin" "$scratch/link"
expect 0 out "" "$(cd "$bin" && pwd -P)\$" -- "$scratch/link" --help
# No display: one line, status 1, whether DISPLAY is missing or leads nowhere.
expect 1 err 1 "DISPLAY" -- env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/dsadmin"
expect 1 err 1 ":97" -- env -u QT_QPA_PLATFORM DISPLAY=:97 "$bin/dsadmin"
# A platform Qt cannot start: still one line and status 1, not an abort.
expect 1 err 1 "^dsadmin: " -- env QT_QPA_PLATFORM=nosuchplatform "$bin/dsadmin"

[ "$failures" = 0 ] && echo "all command-line checks passed"
exit $((failures > 0))
