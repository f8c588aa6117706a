#!/usr/bin/env bash
# clang-tidy (the checks in .clang-tidy) and clazy over the program's own
# sources, without the tests and benchmarks. Any finding fails the run.
# Usage: scripts/check.sh BUILD_DIR, where BUILD_DIR was configured with
# CMAKE_EXPORT_COMPILE_COMMANDS (the "check" preset; `make check` does both).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:?usage: scripts/check.sh BUILD_DIR}")
jobs=${CHECK_JOBS:-2}

# clazy: all of level 0 and level 1, and the level-2 checks that find faults
# or waste rather than taste. Left out of level 2: function-args-by-value and
# function-args-by-ref (a few bytes either way, for a signature churn),
# ctor-missing-parent-argument (the store's change notifier has no parent by
# design) and missing-qobject-macro (a private subclass that only overrides a
# virtual needs no meta-object).
clazy_checks=level1,base-class-event,copyable-polymorphic,global-const-char-pointer,implicit-casts
clazy_checks+=,missing-typeinfo,old-style-connect,qstring-allocations,returning-void-expression
clazy_checks+=,rule-of-three,static-pmf,virtual-call-ctor

# The program's part of the compile database: files of the source tree that
# are not tests, benchmarks or generated.
db="$build/program"
mkdir -p "$db"
python3 - "$PWD" "$build" "$db" <<'EOF'
import json, os, sys
source, build, db = sys.argv[1:]
entries = json.load(open(os.path.join(build, 'compile_commands.json')))
def ours(path):
    rel = os.path.relpath(path, source)
    return not rel.startswith('..') and rel.split(os.sep)[0] not in ('tests', 'bench') \
        and os.path.commonpath([path, build]) != build and not rel.startswith('build')
json.dump([e for e in entries if ours(e['file'])], open(os.path.join(db, 'compile_commands.json'), 'w'), indent=1)
EOF
files=$(python3 -c 'import json, sys; print("\n".join(e["file"] for e in json.load(open(sys.argv[1]))))' \
        "$db/compile_commands.json")
echo "Checking $(wc -l <<<"$files") files with clang-tidy and clazy"

# Only the findings, as file:line:column: kind: text [check].
findings() { sed 's/\x1b\[[0-9;]*m//g' "$1" | grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error):' | sort -u || true; }

# Either tool also fails when a file does not compile for it; that shows as
# an error among the findings, or else only in its log.
status=0
report() { # tool, its exit status, seconds taken
    local found
    found=$(findings "$db/$1.log")
    if [ -n "$found" ]; then
        echo "$1: $(wc -l <<<"$found") findings in $3 s (whole output in $db/$1.log):"
        echo "$found"
        status=1
    elif [ "$2" -ne 0 ]; then
        echo "$1 failed (exit status $2) in $3 s; see $db/$1.log"
        status=1
    else
        echo "$1: no findings ($3 s)"
    fi
}

start=$SECONDS
tidy_status=0
run-clang-tidy -p "$db" -j "$jobs" -quiet >"$db/clang-tidy.log" 2>&1 || tidy_status=$?
report clang-tidy $tidy_status $((SECONDS - start))

start=$SECONDS
clazy_status=0
xargs -P "$jobs" -n 1 clazy-standalone -p "$db" --checks="$clazy_checks" <<<"$files" >"$db/clazy.log" 2>&1 \
    || clazy_status=$?
report clazy $clazy_status $((SECONDS - start))
exit $status
