#!/usr/bin/env bash
# Installs twindrop into a scratch prefix and drives the installed binary on a real X server
# only as a user can: keyboard, clipboard and the close box.
#   e2e_installed.sh <build folder>
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
exe="$work/prefix/bin/twindrop"
[ -x "$exe" ] || { echo "FAIL: no installed twindrop"; exit 1; }

mails="$work/mails"
mkdir -p "$mails" "$work/data" "$work/config"
printf 'From: a@example.org\r\nSubject: Bonjour\r\n\r\nA demain.\r\n' > "$mails/a1.eml"
printf 'From: a@example.org\nSubject: BONJOUR\n\nA DEMAIN.\n' > "$mails/a3.eml"
printf 'From: b@example.org\r\nSubject: Autre\r\n\r\nRien.\r\n' > "$mails/a2.eml"
printf 'From: c@example.org\r\nSubject: Seul\r\n\r\nSeul.\r\n' > "$mails/zeta.eml"
cat > "$exe.INI" <<INI
[OPTIONS]
DOSSIER=$mails
MASQUE=
AUTO=1
MODE=0
INI

cat > "$work/drive.sh" <<'DRIVE'
#!/usr/bin/env bash
set -euo pipefail
exe=$1 work=$2 here=$3
export QT_QPA_PLATFORM=xcb XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
"$exe" > "$work/twindrop.log" 2>&1 &
pid=$!
fail() { echo "FAIL: $*"; kill "$pid" 2>/dev/null || true; exit 1; }
# The window's caption is the application title until a scan starts.
win=$(timeout 30 xdotool search --sync --onlyvisible --name '^twindrop$' | head -n 1) || fail "no main window"
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
sleep_until() { # sleep_until <what> <command...>: poll a condition for up to 20 s
    local what=$1; shift
    for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done
    fail "$what"
}
dialog_open() { [ "$(xdotool search --onlyvisible --name "$1" | wc -l)" -gt 0 ]; }
dialog_closed() { ! dialog_open "$1"; }
shown_windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }
more_windows_than() { [ "$(shown_windows)" -gt "$1" ]; }
clipboard_holds() { xclip -selection clipboard -o 2>/dev/null | grep -q "$1"; }
# "Fichier" menu from the keyboard: Alt selects the menu bar, Down opens the first menu,
# whose first item is COMPARER. The window handles keys in the order they come, so only the
# menu's opening is waited for.
before=$(shown_windows)
xdotool key --clearmodifiers alt
xdotool key Down
sleep_until "the menu did not open" more_windows_than "$before"
xdotool key Return
sleep_until "no question before the scan" dialog_open '^Confirmer$'
xdotool key Return
sleep_until "no summary" dialog_open '^Informations$'
xdotool key ctrl+c
sleep_until "clipboard empty" clipboard_holds 'doublons trouvés'
xclip -selection clipboard -o > "$work/summary.txt" || fail "clipboard empty"
xdotool key Return
sleep_until "the summary stayed open" dialog_closed '^Informations$'
/usr/bin/python3 "$here/close_window.py" "$win"
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the close box did not end twindrop"
wait "$pid" || fail "twindrop ended with an error"
DRIVE
chmod +x "$work/drive.sh"
xvfb-run -a -s "-screen 0 1280x1024x24" "$work/drive.sh" "$exe" "$work" "$here"

fail() { echo "FAIL: $*"; cat "$work/twindrop.log" 2>/dev/null; exit 1; }
summary=$(tr -d '\r' < "$work/summary.txt")
grep -qx "4 fichiers analysés en [0-9][0-9]:[0-9][0-9]:[0-9][0-9]" <<<"$summary" || fail "summary: $summary"
grep -qx "1 doublons trouvés et placés dans la corbeille" <<<"$summary" || fail "summary: $summary"
grep -qx "Informations" <<<"$summary" || fail "summary caption: $summary"
[ "$(ls "$mails")" = "$(printf 'a2.eml\na3.eml\nzeta.eml')" ] || fail "left in the folder: $(ls "$mails")"
[ -f "$work/data/Trash/files/a1.eml" ] || fail "a1.eml not in the trash"
grep -qx "Path=$mails/a1.eml" "$work/data/Trash/info/a1.eml.trashinfo" || fail "trash record"
grep -q '^Form1=[0-9-]*:[0-9-]*:[0-9]*:[0-9]*$' "$exe.INI" || fail "no geometry saved"
grep -qx 'MASQUE=' "$exe.INI" || fail "mask not saved"
grep -qx 'AUTO=1' "$exe.INI" || fail "automatic mode not saved"
grep -qx 'LISTE=160' "$exe.INI" || fail "heights not saved"
echo "1 passed, 0 failed"
