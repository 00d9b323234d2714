#!/bin/sh
# Runs the examples of the manual page's EXAMPLES section through the built qxprop, so a command the page
# shows and the shell no longer takes (or takes but refuses) fails here. Arguments: the built qxprop, the
# manual page, the source folder.
#
# Each .EX/.EE block is one example. A block whose first line starts with "$ " is a transcript: that command
# runs with the lines after "qxprop> " as its input, and every other line must come out, in order. Any other
# block is shell command lines (a trailing backslash continues a line). The examples run, as the page says,
# from a folder that holds the source's examples/ (a scratch copy: they write files), with the built qxprop
# first on PATH. An example fails on a non-zero exit status, on a line the shell refused ("error: ..."), or
# on more library errors ("error <code> ...") than the commands it marks with ! as expected to fail.
set -u
qxprop=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
page=$2
source=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/qx-man-examples-XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
cp -r "$source/examples" "$work/examples" || exit 1
PATH=$(dirname "$qxprop"):$PATH
export PATH

# The blocks of EXAMPLES, one file each (block.1, block.2, ...), with the page's escapes turned into the
# characters a reader types; an escape not known here is reported rather than guessed.
awk -v dir="$work" '
    /^\.SH/ { examples = ($0 ~ /^\.SH "?EXAMPLES"?$/); next }
    !examples { next }
    /^\.EX/ { n++; file = dir "/block." n; inblock = 1; next }
    /^\.EE/ { inblock = 0; close(file); next }
    inblock {
        line = $0
        gsub(/\\-/, "-", line); gsub(/\\&/, "", line); gsub(/\\\(aq/, "\047", line); gsub(/\\\(dq/, "\"", line)
        gsub(/\\e/, "\001", line)
        if (line ~ /\\/) { print "unknown escape in example line: " $0 > "/dev/stderr"; bad = 1 }
        gsub(/\001/, "\\", line)
        print line > file
    }
    END { exit bad }' "$page" || exit 1
ls "$work"/block.* >/dev/null 2>&1 || { echo "$page: no example blocks (.EX/.EE) in EXAMPLES" >&2; exit 1; }

status=0
# Judges one example's run: $1 its text (for the report), $2 its exit status, $3 its output, $4 the number of
# commands it expects to fail.
judge() {
    problem=""
    [ "$2" -eq 0 ] || problem="exit status $2"
    if grep -q '^error: ' "$3"; then problem="${problem:+$problem; }the shell refused a line"; fi
    errors=$(grep -c '^error -\{0,1\}[0-9]' "$3")
    if [ "$errors" -gt "$4" ]; then
        problem="${problem:+$problem; }$errors library errors, $4 expected"
    fi
    if [ -n "$problem" ]; then
        printf 'example of %s fails (%s):\n%s\n-- output:\n' "$page" "$problem" "$1" >&2
        cat "$3" >&2
        status=1
    fi
}

# Commands marked "!" in the arguments of one qxprop command line ($1) and in the scripts it names.
expected_failures() {
    count=$(printf '%s\n' "$1" | grep -o '"! ' | wc -l)
    for word in $1; do
        case $word in
        *.qxs) [ -f "$work/$word" ] && count=$((count + $(grep -c '^[[:space:]]*!' "$work/$word"))) ;;
        esac
    done
    echo "$count"
}

ran=0
for block in "$work"/block.*; do
    if head -n 1 "$block" | grep -q '^\$ '; then
        command=$(head -n 1 "$block" | cut -c3-)
        sed -n 's/^qxprop> //p' "$block" >"$work/input"
        tail -n +2 "$block" | grep -v '^qxprop> ' >"$work/expected"
        (cd "$work" && sh -c "$command" <"$work/input") >"$work/output" 2>&1
        judge "$(cat "$block")" $? "$work/output" "$(expected_failures "$command")"
        # Every line the transcript shows comes out, in this order.
        if ! awk 'NR == FNR { want[++n] = $0; next } i < n && $0 == want[i + 1] { ++i } END { exit i < n }' \
            "$work/expected" "$work/output"; then
            printf 'example of %s prints other lines than it shows:\n%s\n-- output:\n' "$page" "$(cat "$block")" >&2
            cat "$work/output" >&2
            status=1
        fi
        ran=$((ran + 1))
    else
        # Logical lines: a trailing backslash joins the next line.
        awk '/\\$/ { sub(/\\$/, ""); held = held $0; next } { print held $0; held = "" }' "$block" >"$work/lines"
        while IFS= read -r line; do
            [ -n "$line" ] || continue
            (cd "$work" && sh -c "$line" </dev/null) >"$work/output" 2>&1
            judge "$line" $? "$work/output" "$(expected_failures "$line")"
            ran=$((ran + 1))
        done <"$work/lines"
    fi
done
[ $status -eq 0 ] && echo "the $ran example commands of $page run cleanly"
exit $status
