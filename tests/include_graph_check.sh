#!/bin/sh
# Fails when two units below src/ (a header with its source file) include each other, directly
# or through other units, and when folders of src/core do. Such loops mean neither side can be
# understood, tested or moved without the other. First it proves itself on planted trees.
# Usage: include_graph_check.sh SRC_DIR
set -u

# Prints each loop found below ROOT; returns 1 when there is one.
check_graph() {
    root=$1
    work=$(mktemp -d) || exit 2
    (cd "$root" && find . -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) |
        sed 's|^\./||' | sort) > "$work/files"
    # Quoted includes only: system headers cannot lead back into our tree.
    while IFS= read -r file; do
        sed -n "s|^[[:space:]]*#[[:space:]]*include[[:space:]]*\"\\([^\"]*\\)\".*|$file \\1|p" \
            "$root/$file"
    done < "$work/files" > "$work/includes"
    # An include is looked for beside the file, then in the file's own top folder and the
    # include roots, as the build finds it. The unit is the path without its extension.
    awk -v units="$work/units" -v folders="$work/folders" '
        function normal(path,    n, i, part, out, k) {
            n = split(path, part, "/")
            k = 0
            for (i = 1; i <= n; i++) {
                if (part[i] == "." || part[i] == "") continue
                if (part[i] == "..") { if (k > 0) k--; continue }
                out[++k] = part[i]
            }
            path = ""
            for (i = 1; i <= k; i++) path = path (i > 1 ? "/" : "") out[i]
            return path
        }
        function unit(path) { sub(/\.[^.\/]*$/, "", path); return path }
        function coreFolder(path,    part) {
            if (split(path, part, "/") < 3 || part[1] != "core") return ""
            return part[2]
        }
        FNR == NR { known[$0] = 1; next }
        {
            file = $1
            name = $2
            dir = file
            sub(/\/[^\/]*$/, "", dir)
            top = file
            sub(/\/.*$/, "", top)
            n = split(dir "/" name " " top "/" name " core/" name " gui/" name " l10n/" name, \
                      candidate, " ")
            target = ""
            for (i = 1; i <= n && target == ""; i++) {
                path = normal(candidate[i])
                if (path in known) target = path
            }
            if (target == "") next
            from = unit(file)
            to = unit(target)
            print from, from > units
            if (from != to) print from, to > units
            a = coreFolder(file)
            b = coreFolder(target)
            if (a != "" && b != "" && a != b) print a, b > folders
        }
    ' "$work/files" "$work/includes"
    touch "$work/units" "$work/folders"
    bad=0
    if ! tsort "$work/units" > /dev/null 2> "$work/loops"; then
        echo "units that include each other:"
        sed -e 's/^tsort: .*: input contains a loop:$/loop:/' -e 's/^tsort: /  /' "$work/loops"
        bad=1
    fi
    if ! tsort "$work/folders" > /dev/null 2> "$work/loops"; then
        echo "core folders that include each other:"
        sed -e 's/^tsort: .*: input contains a loop:$/loop:/' -e 's/^tsort: /  /' "$work/loops"
        bad=1
    fi
    rm -rf "$work"
    return $bad
}

# The check must catch each kind of loop, and pass a clean tree.
plant=$(mktemp -d) || exit 2
trap 'rm -rf "$plant"' EXIT
clean() {
    rm -rf "${plant:?}"/*
    mkdir -p "$plant/core/platform" "$plant/core/settings" "$plant/gui/frame"
    printf '#pragma once\n#include <vector>\n' > "$plant/core/platform/a.h"
    printf '#include "platform/a.h"\n' > "$plant/core/platform/a.cpp"
    printf '#pragma once\n#include "platform/a.h"\n' > "$plant/core/settings/b.h"
    printf '#include "settings/b.h"\n#include "../platform/a.h"\n' > "$plant/core/settings/b.cpp"
    printf '#pragma once\n#include "settings/b.h"\n' > "$plant/gui/frame/c.h"
    printf '#include "frame/c.h"\n#include "d.h"\n' > "$plant/gui/frame/c.cpp"
    printf '#pragma once\n' > "$plant/gui/frame/d.h"
}
clean
check_graph "$plant" > /dev/null || { echo "self-check: a clean tree was refused"; exit 2; }
# Each slip: "file|line" appended to the clean tree.
for slip in 'gui/frame/d.h|#include "frame/c.h"' \
    'gui/frame/d.cpp|#include "c.h"' \
    'core/platform/a.cpp|#include "settings/b.h"' \
    'core/platform/a.h|#  include "../settings/b.h"' \
    'core/platform/e.cpp|#include "settings/f.h"'; do
    clean
    printf '%s\n' "${slip#*|}" >> "$plant/${slip%%|*}"
    touch "$plant/core/settings/f.h"
    if check_graph "$plant" > /dev/null; then
        echo "self-check: not caught: $slip"
        exit 2
    fi
done

check_graph "$1"
