#!/bin/sh
# Compares the manual page of qxprop with what the built shell and the sources know, in both directions, so a
# command, subcommand, option or environment variable added without a manual entry (or removed and still
# documented) fails. Arguments: the built qxprop, the manual page, the source folder.
#
# The shell's side comes from its own `help` list: "family:" headers, then one line per command, "  name
# synopsis" and two or more blanks before the help text. A command whose synopsis starts with bare words
# separated by | (reg list|get|..., log config | files | ..., lock global | access) has subcommands, and each
# one needs its own entry. The page's side comes from the COMMANDS section: each .SS names a family, each
# .TP tag begins with the command (and subcommand) in bold.
set -u
qxprop=$1
page=$2
source=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/qx-man-XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
status=0

# Prints "<what>: <lines>" for lines in $2 but not in $3, and marks the run failed.
only_in() {
    missing=$(comm -23 "$2" "$3")
    if [ -n "$missing" ]; then
        printf '%s:\n%s\n' "$1" "$missing" >&2
        status=1
    fi
}

# ---- commands, by family ------------------------------------------------------------------------------
if ! "$qxprop" -c help >"$work/help.txt" 2>&1; then
    echo "qxprop -c help failed:" >&2
    cat "$work/help.txt" >&2
    exit 1
fi
awk '
    /^[a-z][a-z-]*:$/ { family = substr($0, 1, length($0) - 1); next }
    /^  [^ ]/ {
        line = substr($0, 3)
        cut = index(line, "  ")
        usage = cut ? substr(line, 1, cut - 1) : line
        name = usage; synopsis = ""
        if ((blank = index(usage, " ")) > 0) { name = substr(usage, 1, blank - 1); synopsis = substr(usage, blank + 1) }
        subs = 0
        if (synopsis ~ /^[a-z]/) {
            n = split(synopsis, alternatives, / \| /)
            for (i = 1; i <= n; ++i) {
                split(alternatives[i], words, " ")
                m = split(words[1], pieces, "|")
                for (j = 1; j <= m; ++j)
                    if (pieces[j] ~ /^[a-z][a-z_-]*$/) { print family " " name " " pieces[j]; ++subs }
            }
        }
        if (subs == 0) print family " " name
    }' "$work/help.txt" | sort -u >"$work/shell-commands"

awk '
    /^\.SH/ { commands = ($0 ~ /^\.SH "?COMMANDS"?$/); next }
    !commands { next }
    /^\.SS/ { family = $2; gsub(/"/, "", family); next }
    /^\.TP/ { tag = 1; next }
    tag {
        tag = 0
        if (match($0, /^\\fB[^\\]+\\f[RP]/)) {
            name = substr($0, 4, RLENGTH - 6)
            gsub(/\\-/, "-", name)
            print family " " name
        } else {
            print "untagged " $0
        }
    }' "$page" | sort -u >"$work/page-commands"

if [ "$(wc -l <"$work/shell-commands")" -lt 20 ]; then
    echo "read too few commands from qxprop's help; its format changed?" >&2
    cat "$work/help.txt" >&2
    exit 1
fi
only_in "commands the shell has but the manual page does not document (family command [subcommand])" \
    "$work/shell-commands" "$work/page-commands"
only_in "entries of the manual page the shell does not have (family command [subcommand])" \
    "$work/page-commands" "$work/shell-commands"

# ---- options: those of the usage text are documented; each documented one is accepted -------------------
"$qxprop" --help >"$work/usage.txt" 2>&1
grep -oE '(^|[[ ])--?[a-z][-a-z]*' "$work/usage.txt" | sed 's/^[[ ]//' | sort -u >"$work/usage-options"
awk '
    /^\.SH/ { options = ($0 ~ /^\.SH "?OPTIONS"?$/); next }
    options && /^\.TP/ { tag = 1; next }
    options && tag {
        tag = 0
        line = $0
        gsub(/\\-/, "-", line)
        while (match(line, /\\fB-[-a-z]+/)) { print substr(line, RSTART + 3, RLENGTH - 3); line = substr(line, RSTART + RLENGTH) }
    }' "$page" | sort -u >"$work/page-options"
only_in "options in qxprop --help but not in the manual page" "$work/usage-options" "$work/page-options"
while read -r option; do
    if "$qxprop" "$option" </dev/null 2>&1 | grep -q "unknown option"; then
        echo "the manual page documents $option, which qxprop does not know" >&2
        status=1
    fi
done <"$work/page-options"

# ---- environment: every variable the library or the shell reads by name ---------------------------------
grep -rhoE '"(QXPROPHANDLING|QXTELVAR|XDG)_[A-Z_]+"' "$source/api" "$source/frame" "$source/component" \
    "$source/property" "$source/list" "$source/method" "$source/setting" "$source/log" "$source/sync" \
    "$source/platform" "$source/tools" | tr -d '"' | sort -u >"$work/source-variables"
awk '
    /^\.SH/ { environment = ($0 ~ /^\.SH "?ENVIRONMENT"?$/); next }
    environment && /^\.TP/ { tag = 1; next }
    environment && tag { tag = 0; sub(/^\.B /, ""); print }' "$page" | sort -u >"$work/page-variables"
only_in "environment variables read by the sources but not in the manual page" \
    "$work/source-variables" "$work/page-variables"
while read -r variable; do
    if ! grep -rqF "\"$variable\"" "$source/platform" "$source/log" "$source/tools"; then
        echo "the manual page documents $variable, which no source reads" >&2
        status=1
    fi
done <"$work/page-variables"

[ $status -eq 0 ] && echo "manual page matches the shell: $(wc -l <"$work/shell-commands") commands and subcommands," \
    "$(wc -l <"$work/page-options") options, $(wc -l <"$work/page-variables") environment variables"
exit $status
