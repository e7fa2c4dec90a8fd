#!/usr/bin/env bash
# The scan as a user meets it on an X server: bench_scan --user, then bench_restart, in a fresh
# Xvfb under a window manager (openbox) when one is installed, with the beep on as at a first start.
#     bench/bench_x.sh [--ext4] [build folder] [mails [duplicates [mode]]]  (default build 4400 1320 2)
# --ext4 (root) puts the folders and the trash on a fresh ext4 file system with a journal, made in
# a loop image, as on a user's disk. Without it they go to $TMPDIR (or /tmp), whatever that is:
# the file system is named in the output, and on an ext4 without a journal every new file (each
# trash record) costs a search among recently deleted inodes.
# BENCH_WRAPPER="perf record -g -o /tmp/x.data --" bench/bench_x.sh profiles bench_scan.
# ./dev bench-x installs what it needs (Xvfb, openbox, jdupes) and runs it.
set -euo pipefail
ext4=false
if [ "${1:-}" = --ext4 ]; then
    ext4=true
    shift
fi
build=${1:-build}
shift || true
bench=$build/bench/bench_scan
restart=$build/bench/bench_restart
[ -x "$bench" ] || { echo "no $bench: build the bench_scan target first" >&2; exit 1; }
command -v Xvfb >/dev/null || { echo "Xvfb is missing (apt-get install xvfb)" >&2; exit 1; }

display=
for n in $(seq 90 140); do
    if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then display=:$n; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }

xvfb=
wm=
image=
mountpoint=
cleanup() {
    [ -n "$wm" ] && kill "$wm" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null || true
    [ -n "$mountpoint" ] && umount "$mountpoint" 2>/dev/null && rmdir "$mountpoint"
    [ -n "$image" ] && rm -f "$image"
    return 0
}
trap cleanup EXIT

if $ext4; then
    [ "$(id -u)" -eq 0 ] || { echo "--ext4 needs root (mount)" >&2; exit 1; }
    image=$(mktemp /tmp/twindrop-bench-XXXXXX.img)
    mountpoint=$(mktemp -d /tmp/twindrop-bench-XXXXXX)
    truncate -s 1G "$image"
    mkfs.ext4 -q -F "$image"
    if ! mount -o loop "$image" "$mountpoint"; then
        rmdir "$mountpoint"
        mountpoint=
        echo "--ext4: this machine cannot mount a loop image" >&2
        exit 1
    fi
    chmod 1777 "$mountpoint"
    export TMPDIR=$mountpoint
fi
where=${TMPDIR:-/tmp}
source=$(findmnt -no SOURCE -T "$where")
journal="no journal"
if [ "$(findmnt -no FSTYPE -T "$where")" != ext4 ]; then
    journal=""
elif [ -e "/proc/fs/jbd2" ] && ls /proc/fs/jbd2 | grep -q "^$(basename "$source")-"; then
    journal="with a journal"
fi
echo "Folders and trash on $where: $(findmnt -no FSTYPE -T "$where") ${journal}"

Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
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
QT_QPA_PLATFORM=xcb ${BENCH_WRAPPER:-} "$bench" --user "$@" 2> >(grep -v '^ALSA lib' >&2)
if [ -x "$restart" ]; then
    echo "A new start scanning the same folder again (bench_restart):"
    QT_QPA_PLATFORM=xcb "$restart" 2> >(grep -v '^ALSA lib' >&2)
fi
