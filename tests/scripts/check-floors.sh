#!/bin/sh
# Checks that every library source includes only its own floor and the floors below it. Floors, top to
# bottom: api, setting, log, method, list, property, component, frame, sync, platform. An upward include
# (a property reaching into a list, the ground floor reaching into the interface) is printed and fails.
top=${1:?usage: check-floors.sh SOURCE_DIR}
cd "$top" || exit 2
floors="platform sync frame component property list method log setting api"
rank() {
    i=0
    for f in $floors; do
        [ "$f" = "$1" ] && { echo $i; return; }
        i=$((i + 1))
    done
    echo -1
}
bad=0
for dir in $floors; do
    own=$(rank "$dir")
    [ -d "$dir" ] || continue
    for file in $(find "$dir" -name '*.cpp' -o -name '*.h'); do
        for inc in $(sed -n 's/^#include "\([a-z]*\)\/.*/\1/p' "$file" | sort -u); do
            r=$(rank "$inc")
            if [ "$r" -lt 0 ] || [ "$r" -gt "$own" ]; then
                echo "$file includes $inc/, a floor above $dir/"
                bad=1
            fi
        done
    done
done
exit $bad
