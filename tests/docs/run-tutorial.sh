#!/bin/sh
# Builds the program of one language of docs/tutorial.md from its code blocks, runs it in an empty folder,
# and compares what it prints (and the files it writes) with what the tutorial says.
#
#   run-tutorial.sh c      <tutorial.md> <C compiler>   <include dir> <library file> [compiler flags...]
#   run-tutorial.sh cpp    <tutorial.md> <C++ compiler> <include dir> <library file> [compiler flags...]
#   run-tutorial.sh python <tutorial.md> <python>       <PYTHONPATH>
#
# Blocks are fenced code whose info string is "<language> tutorial" (inside main, in order) or
# "<language> tutorial top" (before main, in order). The expected output is the block "text tutorial-output",
# or "text tutorial-output <language>" where one language prints differently; a block
# "<any> tutorial-file <name>" is the expected content of a file the program writes.
# Exits 77 (skipped) when the language's interface or the tutorial's column for it is missing.
set -u
language=$1
tutorial=$2
shift 2
skip() {
    echo "skipped: $*"
    exit 77
}

# Prints the blocks whose info string is $1 (runs of blanks count as one).
blocks() {
    awk -v want="$1" '
        /^```/ {
            if (fence) { fence = 0; take = 0; next }
            fence = 1
            info = substr($0, 4)
            gsub(/^[ \t]+|[ \t]+$/, "", info)
            gsub(/[ \t]+/, " ", info)
            take = (info == want)
            next
        }
        take { print }' "$tutorial"
}

work=$(mktemp -d "${TMPDIR:-/tmp}/qx-tutorial-XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT

case $language in
c | cpp)
    compiler=$1
    include=$2
    library=$3
    shift 3
    if [ "$language" = c ]; then
        source=$work/tutorial.c
        standard=-std=c99
    else
        [ -f "$include/qxPropHandling.hpp" ] || skip "the C++ interface $include/qxPropHandling.hpp is not in this tree"
        source=$work/tutorial.cpp
        standard=-std=c++17
    fi
    { blocks "$language tutorial top"; blocks "$language tutorial"; } >"$source"
    [ -s "$source" ] || skip "docs/tutorial.md has no $language column yet"
    if ! "$compiler" "$standard" -Wall -Wextra -Werror -I"$include" "$@" -o "$work/tutorial" "$source" "$library" \
        -Wl,-rpath,"$(dirname "$library")" 2>"$work/compiler.txt"; then
        echo "the tutorial's $language program does not compile:" >&2
        cat "$work/compiler.txt" >&2
        cat -n "$source" >&2
        exit 1
    fi
    run="$work/tutorial"
    ;;
python)
    python=$1
    export PYTHONPATH=$2
    built=no
    for folder in $(printf '%s' "$2" | tr ':' ' '); do [ -d "$folder" ] && built=yes; done
    [ $built = yes ] || skip "the Python package qxprop is not built in this tree (no $2)"
    if ! "$python" -c "import qxprop" 2>"$work/import.txt"; then
        echo "the Python package qxprop is built but does not import from $2:" >&2
        cat "$work/import.txt" >&2
        exit 1
    fi
    source=$work/tutorial.py
    blocks "python tutorial" >"$source"
    [ -s "$source" ] || skip "docs/tutorial.md has no python column yet"
    run="$python $source"
    ;;
*)
    echo "run-tutorial.sh: unknown language $language" >&2
    exit 2
    ;;
esac

blocks "text tutorial-output $language" >"$work/expected"
[ -s "$work/expected" ] || blocks "text tutorial-output" >"$work/expected"
if [ ! -s "$work/expected" ]; then
    echo "docs/tutorial.md has no expected output (a text tutorial-output block)" >&2
    exit 1
fi

mkdir "$work/run"
(cd "$work/run" && $run) >"$work/actual" 2>"$work/stderr"
rc=$?
status=0
if [ $rc -ne 0 ]; then
    echo "the tutorial's $language program exited with $rc" >&2
    status=1
fi
if ! diff -u "$work/expected" "$work/actual" >"$work/diff"; then
    echo "the tutorial's $language program prints other lines than the tutorial shows:" >&2
    cat "$work/diff" >&2
    status=1
fi

# Files the tutorial shows: "<lang> tutorial-file <name>".
grep -E '^```[a-z]+ tutorial-file [^ ]+$' "$tutorial" | while read -r fence; do
    name=${fence##* }
    blocks "${fence#\`\`\`}" >"$work/expected-file"
    if ! diff -u "$work/expected-file" "$work/run/$name" >"$work/diff"; then
        echo "$name as the tutorial's $language program writes it differs from the tutorial:" >&2
        cat "$work/diff" >&2
        exit 1
    fi
done || status=1

if [ $status -ne 0 ]; then
    [ -s "$work/stderr" ] && { echo "standard error:" >&2; cat "$work/stderr" >&2; }
    exit 1
fi
echo "the tutorial's $language program prints what the tutorial shows ($(wc -l <"$work/expected") lines)"
