#!/usr/bin/env bash
# under_xvfb.sh COMMAND...: runs COMMAND on the xcb platform against a virtual X display of
# its own (1024x768, 96 dpi). Xvfb picks a free display number itself (-displayfd), so tests
# running at once never race for one.
set -eu
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$fifo" 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r -t 30 display <"$fifo" || { echo "Xvfb did not start" >&2; exit 1; }
DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$@"
