#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs docs/make-screenshots.sh into a temporary folder, so a demo store or a
# script that went wrong shows up before the README's pictures go stale.
# Usage: test_screenshots.sh SOURCE_DIR QUORVI
set -euo pipefail
source_dir=$1
quorvi=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

bash "$source_dir/docs/make-screenshots.sh" "$quorvi" "$out" >/dev/null || fail "make-screenshots.sh exited $?"
for shot in alert main; do
  file -b "$out/$shot.png" | grep -q '^PNG image data' || fail "$shot.png is not a PNG"
done
cmp -s "$out/alert.png" "$out/main.png" && fail "both pictures show the same window"
# The alert window as on a 1920 x 1080 desktop: two thirds of the screen.
file -b "$out/alert.png" | grep -q ' 1280 x 720,' || fail "alert.png is not 1280 x 720: $(file -b "$out/alert.png")"
echo "screenshots: both pictures made"
