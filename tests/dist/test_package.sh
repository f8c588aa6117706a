#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the build folder into a temporary folder, as
# `make package` does, and checks its contents and control fields, and that
# Debian's own checker, lintian, and the AppStream validator accept it.
# Usage: test_package.sh BUILD_DIR CONTACT   (CONTACT: "Name <address>")
set -euo pipefail
build=$1
contact=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log" >&2; fail "cpack failed"; }
shopt -s nullglob
debs=("$out"/quorvi_*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one quorvi_*.deb, found ${#debs[*]}"
deb=${debs[0]}

contents=$(dpkg-deb --contents "$deb")
for f in ./usr/bin/quorvi \
         ./usr/share/applications/org.quorvi.Quorvi.desktop \
         ./usr/share/metainfo/org.quorvi.Quorvi.metainfo.xml \
         ./usr/share/icons/hicolor/scalable/apps/quorvi.svg \
         ./usr/share/icons/hicolor/48x48/apps/quorvi.png \
         ./usr/share/man/man1/quorvi.1.gz \
         ./usr/share/doc/quorvi/copyright \
         ./usr/share/doc/quorvi/changelog.gz; do
  grep -q " $f\$" <<<"$contents" || fail "the package lacks $f"
done
# Nothing for all users' logins, and nothing outside /usr.
grep -q 'autostart' <<<"$contents" && fail "the package installs an autostart entry"
grep -Ev ' \./usr(/|$)| \./$' <<<"$contents" && fail "the package installs outside /usr"
grep -q ' ./usr/bin/quorvi$' <<<"$contents" && grep ' ./usr/bin/quorvi$' <<<"$contents" | grep -q '^-rwxr-xr-x' \
  || fail "bin/quorvi is not executable in the package"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quorvi ] || fail "Package: $(field Package)"
version=$("$build/startup/quorvi" --version | awk '{print $2}')
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), the program says $version"
[ "$(field Section)" = utils ] || fail "Section: $(field Section)"
[ "$(field Maintainer)" = "$contact" ] || fail "Maintainer: $(field Maintainer), not $contact"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
depends=$(field Depends)
[ -n "$depends" ] || fail "no Depends line"
# Computed from the binary: the Qt libraries it links and the C library,
# plus the window-system plugins no scan can see.
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libc6 qt6-qpa-plugins; do
  grep -q "\\b$lib\\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
description=$(field Description)
grep -q 'tasks.txt' <<<"$description" || fail "Description: $description"
grep -q '^ *;' <<<"$description" && fail "the Description is a CMake list, not text: $description"

# The packaged program is stripped and still runs.
tree="$out/tree"
dpkg-deb -x "$deb" "$tree"
file -b "$tree/usr/bin/quorvi" | grep -q 'stripped' || fail "the packaged program was not looked at"
file -b "$tree/usr/bin/quorvi" | grep -q 'not stripped' && fail "the packaged program is not stripped"
"$tree/usr/bin/quorvi" --version | grep -qx "quorvi $version" || fail "the packaged program does not run"
desktop-file-validate "$tree/usr/share/applications/org.quorvi.Quorvi.desktop" || fail "the packaged launcher does not validate"

# The Debian changelog: this version, by the one contact, and compressed
# reproducibly (no name, no time in the gzip header, best compression).
changelog="$tree/usr/share/doc/quorvi/changelog.gz"
[ "$(od -An -tx1 -j3 -N6 "$changelog" | tr -d ' ')" = 000000000002 ] \
  || fail "changelog.gz was not made by gzip -9n: $(od -An -tx1 -N10 "$changelog")"
parsed() { zcat "$changelog" | dpkg-parsechangelog -l - -S "$1"; }
[ "$(parsed Version)" = "$version" ] || fail "the changelog's latest entry is $(parsed Version), not $version"
[ "$(parsed Maintainer)" = "$contact" ] || fail "the changelog is signed by $(parsed Maintainer), not $contact"
parsed Date | grep -q '^[A-Z][a-z][a-z], [0-9][0-9] [A-Z][a-z][a-z] [0-9]\{4\} ' \
  || fail "the changelog's date is no RFC 2822 date: $(parsed Date)"

# The copyright file names its holders and how to reach them.
copyright="$tree/usr/share/doc/quorvi/copyright"
grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright" \
  || fail "the copyright file is not in the machine-readable format"
grep -qx "Copyright: [0-9]\{4\}.* $contact" "$copyright" || fail "the copyright file has no notice by $contact"
grep -q '@[A-Z_]*@' "$copyright" && fail "the copyright file has unreplaced placeholders"

# The listing in software centres, checked in the tree the package unpacks
# to, so the launcher and icon it points at are checked with it.
report=$(appstreamcli validate-tree --no-net "$tree" 2>&1) && as_status=0 || as_status=$?
if [ "$as_status" -ne 0 ] || grep -qE '^ *[EW]: ' <<<"$report"; then
  echo "$report" >&2
  fail "appstreamcli finds errors or warnings in the package (status $as_status)"
fi
grep -q 'org.quorvi.Quorvi.metainfo.xml' <<<"$report" || { echo "$report" >&2; fail "appstreamcli found no metainfo in the package"; }
email=${contact##*<}
email=${email%>}
grep -q "<update_contact>$email</update_contact>" "$tree/usr/share/metainfo/org.quorvi.Quorvi.metainfo.xml" \
  || fail "the metainfo's update contact is not $email"

# Debian's checker: not one error or warning. Its whole report goes to the
# log when it finds any, so the tag names are there to look up.
lintian_report=$(lintian "$deb" 2>&1) && lintian_status=0 || lintian_status=$?
if [ "$lintian_status" -ne 0 ] || grep -qE '^[EW]: ' <<<"$lintian_report"; then
  echo "$lintian_report" >&2
  fail "lintian rejects the package (status $lintian_status)"
fi

echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes, Installed-Size $(field Installed-Size) KiB"
