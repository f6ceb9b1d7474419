#!/usr/bin/env bash
# Fails when a source file includes a folder above its own layer.
#
# The layers, lowest first; a folder may include its own layer and those below:
#   records < engine/mime < engine/pop < tree < engine
#     < main_window < notify, commands < dialogs < app
# notify and commands stand side by side: neither includes the other.
# tests/ mirrors src/: a test folder may include what the src folder of the
# same name may, and tests/support; tests/support may include everything
# below app.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 2

rank() {
    case "$1" in
    records) echo 0 ;;
    engine/mime) echo 1 ;;
    engine/pop) echo 2 ;;
    tree) echo 3 ;;
    engine) echo 4 ;;
    main_window) echo 5 ;;
    notify | commands) echo 6 ;;
    dialogs) echo 7 ;;
    support) echo 8 ;;
    app) echo 9 ;;
    *) echo "" ;;
    esac
}

# The layer of a path below src/ or tests/, or of an include "folder/file.h".
layer_of() {
    local path=$1
    case "$path" in
    engine/mime/*) echo engine/mime ;;
    engine/pop/*) echo engine/pop ;;
    */*) echo "${path%%/*}" ;;
    *) echo "" ;;
    esac
}

status=0
while IFS= read -r file; do
    top=${file%%/*}
    own=$(layer_of "${file#*/}")
    own_rank=$(rank "$own")
    if [ -z "$own_rank" ]; then
        echo "$file: its folder is in no layer"
        status=1
        continue
    fi
    while IFS= read -r line; do
        inc=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/' <<<"$line")
        target=$(layer_of "$inc")
        [ -z "$target" ] && continue # a file beside it, or a generated .moc
        if [ "$target" = support ] && [ "$top" = tests ]; then continue; fi
        target_rank=$(rank "$target")
        if [ -z "$target_rank" ]; then
            echo "$file: includes \"$inc\", which is in no layer"
            status=1
        elif [ "$target" = support ] || [ "$target_rank" -gt "$own_rank" ] ||
            { [ "$target_rank" -eq "$own_rank" ] && [ "$target" != "$own" ]; }; then
            echo "$file: includes \"$inc\" from layer $target, above its own layer $own"
            status=1
        fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
done < <(find src tests \( -name '*.h' -o -name '*.cpp' \) -type f | sort)

[ "$status" -eq 0 ] && echo "layers: every include stays within its layer or below"
exit "$status"
