#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the 48-pixel icon from quorvi.svg. The PNG is committed, so only
# someone who changes the drawing runs this (it needs rsvg-convert, from the
# Debian package librsvg2-bin: ImageMagick's own SVG reader drops gradients).
set -euo pipefail
cd "$(dirname "$0")"
if ! command -v rsvg-convert >/dev/null; then
  echo "make-icon.sh: rsvg-convert is missing; install librsvg2-bin" >&2
  exit 1
fi
rsvg-convert --width 48 --height 48 --format png quorvi.svg --output quorvi-48.png
echo "wrote dist/quorvi-48.png"
