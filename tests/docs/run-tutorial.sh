#!/bin/sh
# Builds the program of one language of docs/tutorial.md from its code blocks, runs it in an empty folder,
# and compares what it prints (and the files it writes) with what the tutorial says.
#
#   run-tutorial.sh c      <tutorial.md> <C compiler>   <include dir> <library file> [compiler flags...]
#   run-tutorial.sh cpp    <tutorial.md> <C++ compiler> <include dir> <library file> [compiler flags...]
#   run-tutorial.sh python <tutorial.md> <python>       <PYTHONPATH>
#   run-tutorial.sh python <tutorial.md> --skip         <reason>     (a build without a runnable package)
#   run-tutorial.sh c-installed|cpp-installed <tutorial.md> <install prefix>
#
# The -installed forms build the program the two ways step 1 shows, against an installed tree: with the
# block "cmake tutorial-build <language>" as its CMakeLists.txt, and with the command of the block
# "sh tutorial-build <language>" (pkg-config).
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

# The program of $1 (c or cpp) in the file $2; skips when the tutorial has none.
extract() {
    { blocks "$1 tutorial top"; blocks "$1 tutorial"; } >"$2"
    [ -s "$2" ] || skip "docs/tutorial.md has no $1 column yet"
}

runs=""
case $language in
c-installed | cpp-installed)
    language=${language%-installed}
    prefix=$1
    libdir=$(find "$prefix" -name 'libqxPropHandling.so' -printf '%h\n' | head -n 1)
    [ "$language" = c ] || [ -f "$prefix/include/qxPropHandling.hpp" ] || skip "no qxPropHandling.hpp in $prefix"
    project=$work/project
    mkdir "$project"
    extract "$language" "$project/tutorial.$language"
    blocks "cmake tutorial-build $language" >"$project/CMakeLists.txt"
    blocks "sh tutorial-build $language" >"$work/build.sh"
    if [ ! -s "$project/CMakeLists.txt" ] || [ ! -s "$work/build.sh" ]; then
        echo "docs/tutorial.md does not show how to build the $language program (cmake and sh tutorial-build blocks)" >&2
        exit 1
    fi
    if ! { cmake -S "$project" -B "$project/build" -DCMAKE_PREFIX_PATH="$prefix" &&
        cmake --build "$project/build"; } >"$work/compiler.txt" 2>&1; then
        echo "the tutorial's $language program does not build with its CMakeLists.txt:" >&2
        cat "$work/compiler.txt" >&2
        exit 1
    fi
    if ! (cd "$project" && PKG_CONFIG_PATH="$libdir/pkgconfig" sh "$work/build.sh") >"$work/compiler.txt" 2>&1; then
        echo "the tutorial's $language program does not build with its pkg-config command:" >&2
        cat "$work/compiler.txt" >&2
        exit 1
    fi
    runs="$project/build/tutorial|env LD_LIBRARY_PATH=$libdir $project/tutorial"
    ;;
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
    extract "$language" "$source"
    if ! "$compiler" "$standard" -Wall -Wextra -Werror -I"$include" "$@" -o "$work/tutorial" "$source" "$library" \
        -Wl,-rpath,"$(dirname "$library")" 2>"$work/compiler.txt"; then
        echo "the tutorial's $language program does not compile:" >&2
        cat "$work/compiler.txt" >&2
        cat -n "$source" >&2
        exit 1
    fi
    runs="$work/tutorial"
    ;;
python)
    [ "$1" != --skip ] || skip "$2"
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
    runs="$python $source"
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

# Runs one built program ($1, words split at blanks) in an empty folder and compares what it prints and writes.
check_run() {
    rm -rf "$work/run"
    mkdir "$work/run"
    (cd "$work/run" && $1) >"$work/actual" 2>"$work/stderr"
    rc=$?
    status=0
    if [ $rc -ne 0 ]; then
        echo "the tutorial's $language program ($1) exited with $rc" >&2
        status=1
    fi
    if ! diff -u "$work/expected" "$work/actual" >"$work/diff"; then
        echo "the tutorial's $language program ($1) prints other lines than the tutorial shows:" >&2
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
}

old_ifs=$IFS
IFS='|'
for run in $runs; do
    IFS=$old_ifs
    check_run "$run"
done
IFS=$old_ifs
echo "the tutorial's $language program prints what the tutorial shows ($(wc -l <"$work/expected") lines)"
