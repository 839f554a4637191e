#!/usr/bin/env bash
# orvconverter answers its command line without a display: help, version and
# usage errors, with Qt's own options around them.
# A window opened by mistake is ended after 20 s and counts as a failure.
# Usage: without_display.sh ORVCONVERTER
set -u
program=$1
failed=0
# expect STATUS TEXT ARGS...: the exit status and a part of what is printed.
expect() {
    local status=$1 text=$2
    shift 2
    local out rc
    out=$(timeout 20 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@" 2>&1)
    rc=$?
    if [[ $rc != "$status" || $out != *"$text"* ]]; then
        echo "orvconverter $*: exit $rc, printed: $out (wanted exit $status and '$text')"
        failed=1
    fi
}
expect 0 "orvconverter " --version
expect 0 "[FILE]" --help
expect 0 "orvconverter " -reverse --version
expect 0 "[FILE]" -style fusion --help
expect 0 "orvconverter " -platform offscreen --version
expect 2 "one FILE at most, 2 given" a.ORV b.ORV
expect 2 "Try 'orvconverter --help'" --bogus
exit $failed
