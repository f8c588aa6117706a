#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the real program's --autostart in a temporary XDG_CONFIG_HOME and
# XDG_DATA_HOME, from a working folder with blanks in its name, from a copy of
# the program whose path has blanks too, and then starts what the login entry
# and the menu launcher say, as a login and the menu would.
# Usage: test_autostart_cli.sh QUORVI
set -euo pipefail
built=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export XDG_CONFIG_HOME="$work/config home"
export XDG_DATA_HOME="$work/data home"
export XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=offscreen
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$work/my apps" "$work/my tasks"
program="$work/my apps/quorvi"
cp "$built" "$program"
entry="$XDG_CONFIG_HOME/autostart/quorvi.desktop"
launcher="$XDG_DATA_HOME/applications/org.quorvi.Quorvi.desktop"
cd "$work/my tasks"

# Off to begin with.
out=$("$program" --autostart) || fail "status exited $?"
[ "$(head -n1 <<<"$out")" = "Autostart is off." ] || fail "status before: $out"
grep -q "^Launcher: none of your own" <<<"$out" || fail "status before, launcher: $out"

# On: a valid login entry that starts this program in the background in this
# folder, and a valid launcher that opens its task list.
out=$("$program" --autostart on) || fail "--autostart on exited $?"
[ -f "$entry" ] || fail "no entry at $entry"
[ -f "$launcher" ] || fail "no launcher at $launcher"
desktop-file-validate "$entry" || fail "the autostart entry does not validate"
desktop-file-validate "$launcher" || fail "the launcher does not validate"
grep -qx "Exec=\"$program\" --background" "$entry" || fail "Exec: $(grep '^Exec=' "$entry")"
grep -qx "Path=$work/my tasks" "$entry" || fail "Path: $(grep '^Path=' "$entry")"
grep -qx "Exec=\"$program\" --show-all" "$launcher" || fail "launcher Exec: $(grep '^Exec=' "$launcher")"
grep -qx "Path=$work/my tasks" "$launcher" || fail "launcher Path: $(grep '^Path=' "$launcher")"
grep -q "shows the alerts for $work/my tasks and keeps running to remind you\." <<<"$out" || fail "on said: $out"
grep -q "^Launcher: $launcher opens the task list of $work/my tasks\.$" <<<"$out" || fail "on said: $out"
grep -q "no tasks.txt in that folder yet" <<<"$out" || fail "on did not note the missing store: $out"

out=$("$program" --autostart) || fail "status exited $?"
grep -q "^Autostart is on: at login, quorvi shows the alerts for $work/my tasks and keeps running to remind you\.$" \
  <<<"$out" || fail "status after on: $out"
grep -q "^Launcher: $launcher opens the task list of $work/my tasks\.$" <<<"$out" || fail "status after on: $out"
grep -q "does not exist" <<<"$out" && fail "status thinks the program is missing: $out"

# What a login does: go to Path and run Exec. A due task under a popup rule
# must reach the alert window, so the screenshot is written.
today=$(date +%Y-%m-%d)
printf '%s\r\n' '; Quorvi' '[Tasks]' 'ttl=Water the plants' 'for=Home' \
  "day=${today:8:2}" "mon=${today:5:2}" "yea=${today:0:4}" 'hou=9' 'min=0' 'sec=0' 'des=' 'act=addtask' \
  '[Alerts]' 'val=3' 'unt=d' 'clr=255' 'alr=on' 'act=addalert' >"$work/my tasks/tasks.txt"
login_folder=$(sed -n 's/^Path=//p' "$entry")
exec_line=$(sed -n 's/^Exec=//p' "$entry")
eval "set -- $exec_line"
(cd / && cd "$login_folder" && "$@" --screenshot "$work/login.png") || fail "the login start exited $?"
[ -s "$work/login.png" ] || fail "the login start showed no alert"
grep -q 'Water the plants' "$XDG_RUNTIME_DIR/quorvi/al.html" || fail "the login start did not read that tasks.txt"

# What the menu does with the launcher: go to its Path and run its Exec. It
# must open the same folder's list, whatever folder the menu starts in.
rm -f "$XDG_RUNTIME_DIR/quorvi/al.html"
menu_folder=$(sed -n 's/^Path=//p' "$launcher")
exec_line=$(sed -n 's/^Exec=//p' "$launcher")
eval "set -- $exec_line"
(cd / && cd "$menu_folder" && "$@" --screenshot "$work/menu.png") || fail "the menu start exited $?"
[ -s "$work/menu.png" ] || fail "the menu start showed no list"
[ ! -e "$XDG_RUNTIME_DIR/quorvi/al.html" ] || fail "the menu start wrote the alert page instead of opening the list"
[ "$(stat -c %s "$work/menu.png")" != "$(stat -c %s "$work/login.png")" ] || fail "the menu start showed the alert"

# Off removes both; off again is fine.
out=$("$program" --autostart off) || fail "--autostart off exited $?"
[ "$out" = "Autostart is off.
Launcher removed: $launcher" ] || fail "off said: $out"
[ ! -e "$entry" ] || fail "the entry is still there"
[ ! -e "$launcher" ] || fail "the launcher is still there"
out=$("$program" --autostart=off) || fail "a second off exited $?"
[ "$out" = "Autostart was already off." ] || fail "second off said: $out"
out=$("$program" --autostart) || fail "status exited $?"
[ "$(head -n1 <<<"$out")" = "Autostart is off." ] || fail "status after off: $out"

# A launcher of the user's own is neither replaced nor removed.
mkdir -p "$XDG_DATA_HOME/applications"
printf '[Desktop Entry]\nType=Application\nName=Mine\nExec=quorvi --show-all\n' >"$launcher"
set +e
err=$("$program" --autostart on 2>&1 >/dev/null)
status=$?
set -e
[ $status -eq 1 ] || fail "on over the user's own launcher exited $status, not 1"
grep -q "was not written by quorvi" <<<"$err" || fail "on over the user's launcher said: $err"
grep -q '^Name=Mine$' "$launcher" || fail "the user's launcher was replaced"
"$program" --autostart off >/dev/null || fail "off beside the user's launcher exited $?"
[ -e "$launcher" ] || fail "off removed the user's own launcher"
rm -f "$launcher"

# Usage errors exit 2 and write nothing.
for bad in "--autostart yes" "--autostart on --show-all" "--autostart=" "--autostart on extra"; do
  set +e
  # shellcheck disable=SC2086 # the words are meant to split
  err=$("$program" $bad 2>&1 >/dev/null)
  status=$?
  set -e
  [ $status -eq 2 ] || fail "'$bad' exited $status, not 2"
  grep -q '^quorvi: ' <<<"$err" || fail "'$bad' gave no reason: $err"
  [ ! -e "$entry" ] || fail "'$bad' wrote an entry"
done

# A failure to write exits 1 with one line on stderr.
mkdir -p "$work/blocked"
touch "$work/blocked/autostart"
set +e
err=$(XDG_CONFIG_HOME="$work/blocked" "$program" --autostart on 2>&1 >/dev/null)
status=$?
set -e
[ $status -eq 1 ] || fail "an unwritable entry exited $status, not 1"
[ "$(wc -l <<<"$err")" -eq 1 ] || fail "more than one line on stderr: $err"
grep -q "^quorvi: could not create the folder $work/blocked/autostart$" <<<"$err" || fail "reason: $err"

# Without XDG_CONFIG_HOME and XDG_DATA_HOME both go under HOME.
HOME="$work/home" XDG_CONFIG_HOME="" XDG_DATA_HOME="" "$program" --autostart on >/dev/null \
  || fail "on under HOME exited $?"
[ -f "$work/home/.config/autostart/quorvi.desktop" ] || fail "no entry under HOME/.config/autostart"
[ -f "$work/home/.local/share/applications/org.quorvi.Quorvi.desktop" ] \
  || fail "no launcher under HOME/.local/share/applications"

# A program in a folder whose name has characters the Exec key reserves:
# both entries still validate, and still start that program.
export XDG_CONFIG_HOME="$work/config two" XDG_DATA_HOME="$work/data two"
entry="$XDG_CONFIG_HOME/autostart/quorvi.desktop"
launcher="$XDG_DATA_HOME/applications/org.quorvi.Quorvi.desktop"
mkdir -p "$work/prog(1)"
odd="$work/prog(1)/quorvi"
cp "$built" "$odd"
"$odd" --autostart on >/dev/null || fail "on from prog(1) exited $?"
desktop-file-validate "$entry" || fail "the entry from prog(1) does not validate"
desktop-file-validate "$launcher" || fail "the launcher from prog(1) does not validate"
eval "set -- $(sed -n 's/^Exec=//p' "$launcher")"
[ "$1" = "$odd" ] || fail "the launcher from prog(1) starts '$1'"

# On from a second folder says which folder it takes the place of.
mkdir -p "$work/second"
out=$(cd "$work/second" && "$program" --autostart on) || fail "on from a second folder exited $?"
grep -q "^Replaced: the login entry and the launcher were for $work/my tasks\.$" <<<"$out" \
  || fail "on from a second folder said: $out"
out=$(cd "$work/second" && "$program" --autostart on) || fail "on again exited $?"
grep -q "Replaced" <<<"$out" && fail "on again in the same folder said: $out"

# A folder whose name is not UTF-8 cannot be named in an entry (always
# UTF-8): refused, and the entries stay as they were.
bad_folder="$work/dir"$'\xff'
mkdir "$bad_folder"
before=$(cat "$entry" "$launcher")
set +e
err=$(cd "$bad_folder" && "$program" --autostart on 2>&1 >/dev/null)
status=$?
set -e
[ $status -eq 1 ] || fail "on in a folder whose name is not UTF-8 exited $status, not 1"
grep -q "is not UTF-8" <<<"$err" || fail "on in a folder whose name is not UTF-8 said: $err"
[ "$(cat "$entry" "$launcher")" = "$before" ] || fail "on in a folder whose name is not UTF-8 changed the entries"

# --autostart needs no display at all.
QT_QPA_PLATFORM=xcb DISPLAY= WAYLAND_DISPLAY= "$program" --autostart >/dev/null || fail "status needed a display"

echo "autostart: all checks passed"
