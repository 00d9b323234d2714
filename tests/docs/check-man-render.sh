#!/bin/sh
# Renders the manual page as man(1) would, with every groff warning on; any warning fails, and so does a
# page that renders without its sections. Argument: the manual page.
set -u
page=$1
warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 "$page" 2>&1) || { echo "groff failed: $warnings" >&2; exit 1; }
if [ -n "$warnings" ]; then
    printf 'groff warns about %s:\n%s\n' "$page" "$warnings" >&2
    exit 1
fi
text=$(LC_ALL=C.UTF-8 groff -man -Tutf8 "$page" 2>/dev/null | sed 's/.\x08//g')
for section in NAME SYNOPSIS DESCRIPTION OPTIONS COMMANDS ENVIRONMENT FILES "EXIT STATUS" EXAMPLES "SEE ALSO"; do
    if ! printf '%s\n' "$text" | grep -qx "$section"; then
        echo "$page renders without a $section section" >&2
        exit 1
    fi
done
echo "$page renders without warnings"
