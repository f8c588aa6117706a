#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary prefix, as `make install PREFIX=...`
# does, and checks that every file a desktop needs is there and sound.
# Usage: test_install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source_dir=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/quorvi \
         share/applications/org.quorvi.Quorvi.desktop \
         share/metainfo/org.quorvi.Quorvi.metainfo.xml \
         share/icons/hicolor/scalable/apps/quorvi.svg \
         share/icons/hicolor/48x48/apps/quorvi.png \
         share/man/man1/quorvi.1.gz \
         share/doc/quorvi/copyright \
         share/doc/quorvi/changelog.gz; do
  [ -s "$prefix/$f" ] || fail "$f was not installed"
done
[ -x "$prefix/bin/quorvi" ] || fail "bin/quorvi is not executable"

# The launcher: valid, and it opens the task list.
launcher="$prefix/share/applications/org.quorvi.Quorvi.desktop"
desktop-file-validate "$launcher" || fail "the launcher does not validate"
grep -qx 'Name=Quorvi' "$launcher" || fail "launcher name"
grep -qx 'Exec=quorvi --show-all' "$launcher" || fail "launcher command"
grep -qx 'Icon=quorvi' "$launcher" || fail "launcher icon"
# Only the menu launcher is installed; the autostart entry is the user's own.
[ "$(ls "$prefix/share/applications")" = org.quorvi.Quorvi.desktop ] \
  || fail "unexpected launchers: $(ls "$prefix/share/applications")"

# The icons: what their names say they are.
file -b "$prefix/share/icons/hicolor/48x48/apps/quorvi.png" | grep -q '^PNG image data, 48 x 48' \
  || fail "the 48 px icon is not a 48 x 48 PNG"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/quorvi.svg" || fail "the scalable icon is not SVG"

# The manual page: renders without warnings, carries this version and the
# parts a user looks for.
man_page="$prefix/share/man/man1/quorvi.1.gz"
version=$("$prefix/bin/quorvi" --version | awk '{print $2}')
[ -n "$version" ] || fail "the installed program tells no version"
gzip -t "$man_page" || fail "the manual page is not gzip data"
zcat "$man_page" | grep -q "Quorvi $version" || fail "the manual page is not for version $version"
if command -v man >/dev/null; then
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$man_page" 2>&1 >/dev/null) \
    || fail "man could not render the page"
  [ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l "$man_page" 2>/dev/null)
  for section in NAME SYNOPSIS OPTIONS FILES 'EXIT STATUS'; do
    grep -q "^$section" <<<"$text" || fail "the manual page has no $section section"
  done
  # Each paragraph on one line, so no phrase is broken.
  flat=$(LC_ALL=C.UTF-8 MANWIDTH=2000 man -E UTF-8 -l "$man_page" 2>/dev/null)
  for word in --show-all --screenshot --autostart tasks.txt al.html autostart/quorvi.desktop \
              'Mark Done' 'Show Done Tasks' 'Every week' '“Done”' 'notification' --background 'quorvi-UID'; do
    grep -qe "$word" <<<"$flat" || fail "the manual page does not mention $word"
  done
fi

# The software-centre listing: valid without looking anything up on the
# network, for this version, and pointing at what was installed beside it.
metainfo="$prefix/share/metainfo/org.quorvi.Quorvi.metainfo.xml"
report=$(appstreamcli validate --no-net "$metainfo" 2>&1) && as_status=0 || as_status=$?
if [ "$as_status" -ne 0 ] || grep -qE '^ *[EW]: ' <<<"$report"; then
  echo "$report" >&2
  fail "appstreamcli finds errors or warnings in the metainfo (status $as_status)"
fi
grep -q '<id>org.quorvi.Quorvi</id>' "$metainfo" || fail "the metainfo has not the id org.quorvi.Quorvi"
grep -q "<release version=\"$version\" date=\"[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]\"" "$metainfo" \
  || fail "the metainfo has no dated release $version"
launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
[ -f "$prefix/share/applications/$launchable" ] || fail "the metainfo launches '$launchable', which is not installed"
grep -q '@[A-Z_]*@' "$metainfo" && fail "the metainfo has unreplaced placeholders"
# The description tells what the program does today.
for word in 'notification' 'Done' 'Mark Done' 'repeat' 'background' 'log in'; do
  grep -q "$word" "$metainfo" || fail "the metainfo's description does not mention $word"
done
# Every screenshot named there is one of the pictures the README shows.
shots=$(sed -n 's|.*<image>\(.*\)</image>.*|\1|p' "$metainfo")
[ "$(wc -l <<<"$shots")" -eq 3 ] || fail "expected 3 screenshots, found: $shots"
for url in $shots; do
  name=$(basename "$url")
  [ -f "$source_dir/docs/$name" ] || fail "screenshot $url is no picture in docs/"
  grep -q "(docs/$name)" "$source_dir/README.md" || fail "the README does not show docs/$name"
done

# The installed program runs from its new place.
"$prefix/bin/quorvi" --help | grep -q -- '--autostart' || fail "the installed program's help lacks --autostart"

echo "installed size: $(du -sk "$prefix" | cut -f1) KiB"
echo "install: all files in place"
