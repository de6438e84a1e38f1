#!/bin/sh
# Fails when a source file of the given folders includes a header that is neither a system header
# nor one of the public headers (include/) nor a file of its own folder: the tool and the examples
# are clients of the public interface and must not reach into src/.
set -eu
root=$1
shift
bad=""
directive='^[[:space:]]*#[[:space:]]*include[[:space:]]*'
for dir in "$@"; do
    for file in "$root/$dir"/*.c "$root/$dir"/*.cpp "$root/$dir"/*.h; do
        [ -f "$file" ] || continue
        for header in $(sed -n "s/$directive\"\\([^\"]*\\)\".*/\\1/p" "$file"); do
            case "$header" in
            */*|*..*) bad="$bad
$dir/$(basename "$file"): $header" ;;
            *) [ -f "$root/include/$header" ] || [ -f "$root/$dir/$header" ] ||
                   bad="$bad
$dir/$(basename "$file"): $header" ;;
            esac
        done
        # Angle-bracket includes of src/ headers, by their folder names.
        for header in $(sed -n "s/$directive<\\([^>]*\\)>.*/\\1/p" "$file"); do
            top=${header%%/*}
            if [ "$top" != "$header" ] && [ -d "$root/src/$top" ]; then
                bad="$bad
$dir/$(basename "$file"): <$header>"
            fi
        done
    done
done
if [ -n "$bad" ]; then
    echo "headers outside the public interface included by clients:$bad" >&2
    exit 1
fi
echo "includes: $* use the public headers only"
