#!/usr/bin/env bash
# The scan as a user meets it on an X server: bench_scan --user in a fresh Xvfb, under a window
# manager (openbox) when one is installed, with the beep on as at a first start.
#     bench/bench_x.sh [build folder] [mails [duplicates [mode]]]     (default build 4400 1320 2)
# BENCH_WRAPPER="perf record -g -o /tmp/x.data --" bench/bench_x.sh profiles the run.
# ./dev bench-x installs what it needs (Xvfb, openbox, jdupes) and runs it.
set -euo pipefail
build=${1:-build}
shift || true
bench=$build/bench/bench_scan
[ -x "$bench" ] || { echo "no $bench: build the bench_scan target first" >&2; exit 1; }
command -v Xvfb >/dev/null || { echo "Xvfb is missing (apt-get install xvfb)" >&2; exit 1; }

display=
for n in $(seq 90 140); do
    if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then display=:$n; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }

Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
wm=
cleanup() {
    [ -n "$wm" ] && kill "$wm" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY=$display
if command -v openbox >/dev/null; then
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 1
    echo "X server: Xvfb $display 1600x1000, window manager openbox"
else
    echo "X server: Xvfb $display 1600x1000, no window manager (apt-get install openbox)"
fi
command -v jdupes >/dev/null || echo "jdupes is missing: the second scan gets no ratio (apt-get install jdupes)"
# BENCH_WRAPPER runs the bench under a profiler, e.g. BENCH_WRAPPER="perf record -g --".
QT_QPA_PLATFORM=xcb ${BENCH_WRAPPER:-} "$bench" --user "$@"
