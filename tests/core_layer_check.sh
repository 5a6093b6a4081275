#!/bin/sh
# Fails when a file below src/core includes a Qt header or a header that exists only below
# src/gui. The include roots already stop this for compiled code; this also covers headers no
# core source happens to include yet. First it proves itself on planted trees.
# Usage: core_layer_check.sh SRC_DIR
set -u

# Prints each offending "file: include" of ROOT/core; returns 1 when there is one.
check_core() {
    root=$1
    bad=0
    list=$(mktemp) || exit 2
    find "$root/core" -type f ! -name CMakeLists.txt > "$list"
    while IFS= read -r file; do
        dir=$(dirname "$file")
        # One include per line: its delimiter (< or ") and the name.
        sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*\([<"]\)\([^>"]*\)[>"].*/\1\2/p' \
            "$file" > "$list.inc"
        while IFS= read -r inc; do
            name=${inc#?}
            case $name in
                Q[A-Z]* | Qt[A-Za-z]*/*)
                    echo "$file: Qt header $name"
                    bad=1
                    continue
                    ;;
            esac
            # A quoted include found beside the file wins; it must not lead into gui/.
            case $inc in
                \"*)
                    if [ -e "$dir/$name" ]; then
                        case $(realpath "$dir/$name") in
                            "$(realpath "$root/gui")"/*)
                                echo "$file: GUI header $name"
                                bad=1
                                ;;
                        esac
                        continue
                    fi
                    ;;
            esac
            if [ ! -e "$root/core/$name" ] && [ -e "$root/gui/$name" ]; then
                echo "$file: GUI header $name"
                bad=1
            fi
        done < "$list.inc"
    done < "$list"
    rm -f "$list" "$list.inc"
    return $bad
}

# The check must catch each kind of slip, and pass a clean tree.
plant=$(mktemp -d) || exit 2
trap 'rm -rf "$plant"' EXIT
mkdir -p "$plant/core/media" "$plant/gui/app" "$plant/gui/frame"
touch "$plant/gui/app/mirandel_app.h" "$plant/gui/frame/main_frame.h"
printf '#include <vector>\n#include "rendering/dib.h"\n' > "$plant/core/rendering/dib.h"
check_core "$plant" > /dev/null || { echo "self-check: a clean tree was refused"; exit 2; }
for slip in '#include <QString>' '#  include <QtCore/qstring.h>' '#include "app/mirandel_app.h"' \
    '#include <frame/main_frame.h>' '#include "../../gui/frame/main_frame.h"'; do
    printf '#pragma once\n%s\n' "$slip" > "$plant/core/media/slip.h"
    if check_core "$plant" > /dev/null; then
        echo "self-check: not caught: $slip"
        exit 2
    fi
done

check_core "$1"
