#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the README's pictures with the program's own --screenshot: the alert
# window (docs/alert.png) and the task list (docs/main.png), from the demo
# store in docs/demo with its dates moved to run from today. The task editor
# with its calendar open (docs/editor-calendar.png) is drawn by the editor's
# test, which opens it the way a user does, when that test is built.
# Usage: docs/make-screenshots.sh [path/to/quorvi [output folder [path/to/test_frmtask]]]
#        (defaults: build/startup/quorvi, docs/ itself, build/tests/taskeditor/test_frmtask)
set -euo pipefail
docs=$(cd "$(dirname "$0")" && pwd)
quorvi=$(realpath "${1:-$docs/../build/startup/quorvi}")
editor_test=$(realpath -m "${3:-$docs/../build/tests/taskeditor/test_frmtask}")
shots=$(realpath "${2:-$docs}")
[ -x "$quorvi" ] || { echo "make-screenshots.sh: no program at $quorvi; run 'make' first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"

# The store file has CR LF line ends; "due=DAYS HH:MM" becomes six lines.
while IFS= read -r line || [ -n "$line" ]; do
  if [[ $line =~ ^due=(-?[0-9]+)\ ([0-9]{1,2}):([0-9]{2})$ ]]; then
    read -r y m d < <(date -d "${BASH_REMATCH[1]} days" '+%Y %-m %-d')
    printf '%s\r\n' "day=$d" "mon=$m" "yea=$y" "hou=$((10#${BASH_REMATCH[2]}))" \
      "min=$((10#${BASH_REMATCH[3]}))" "sec=0"
  else
    printf '%s\r\n' "$line"
  fi
done <"$docs/demo/tasks.template" >"$work/tasks.txt"

cd "$work"
# The pictures show what a user sees on the most common desktop, a 1920 x 1080
# screen: the alert window takes two thirds of it.
cat >"$work/screen.json" <<'EOF_SCREEN'
{ "screens": [ { "name": "desktop", "x": 0, "y": 0, "width": 1920, "height": 1080,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] }
EOF_SCREEN
# Set for the program alone: Qt reads the locale's name from these even where
# the C library has no such locale installed.
run() { env QT_QPA_PLATFORM="offscreen:configfile=$work/screen.json" XDG_RUNTIME_DIR="$work/runtime" \
  LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8 \
  "$quorvi" "$@" 2> >(grep -v 'propagateSizeHints' >&2); }
run --screenshot "$shots/alert.png"
run --show-all --screenshot "$shots/main.png"
# A demo whose dates went wrong would list nothing and write no alert picture.
[ -s "$shots/alert.png" ] || { echo "make-screenshots.sh: the demo store listed no task" >&2; exit 1; }
if [ -x "$editor_test" ]; then
  env QT_QPA_PLATFORM=offscreen QUORVI_PICTURES="$work/pictures" XDG_RUNTIME_DIR="$work/runtime" LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8 TZ=UTC \
    "$editor_test" calendarOpensOnTheBoxesDateWithTodayMarked >/dev/null
  cp "$work/pictures/frmTask-calendar.png" "$shots/editor-calendar.png"
  echo "wrote $shots/editor-calendar.png"
fi
echo "wrote $shots/alert.png and $shots/main.png"
