#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What `make install`, `make package` and `make run` build in a fresh build
# folder: the program and the files installed beside it, never the tests or
# benchmarks (about 170 steps more). Nothing is compiled: every build that
# the Makefile would run is asked of ninja as a dry run (-n).
# Usage: test_make_steps.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
fresh=$(mktemp -d)
trap 'rm -rf "$fresh"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake -S "$source_dir" -B "$fresh/build" -G Ninja >/dev/null

for goal in install package run; do
  plan=$(make -s -n -C "$source_dir" "$goal" BUILD_DIR="$fresh/build")
  builds=$(grep '^cmake --build ' <<<"$plan") || fail "make $goal builds nothing: $plan"
  steps="$fresh/$goal.steps"
  while read -r build; do
    eval "$build -- -n"
  done <<<"$builds" >"$steps"
  linked=$(sed -n 's/.*Linking CXX executable \(.*\)$/\1/p' "$steps")
  [ "$linked" = "startup/quorvi" ] || fail "make $goal links more than the program: $(tr '\n' ' ' <<<"$linked")"
  if [ "$goal" != run ]; then
    # What the install needs that the program does not.
    grep -q 'quorvi\.1\.gz' "$steps" || fail "make $goal does not make the compressed manual page"
  fi
done
echo "make steps: install, package and run build only the program and its files"
