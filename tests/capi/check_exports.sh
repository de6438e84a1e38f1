#!/bin/sh
# Lists the dynamic symbols that libnyx.so defines and fails on any that is not an interface
# function (families cfidr, cfiel, nyxdr, nyxdw, nyxpriv, svc_, zilerr), and, given the directory
# of the public headers, on any function a header declares that the library does not export.
set -eu
lib=$1
headers=${2:-}
nm -D --defined-only "$lib" >/dev/null
bad=$(nm -D --defined-only "$lib" | awk '$2 != "A" { print $3 }' |
      grep -Ev '^(cfidr|cfiel|nyxdr|nyxdw|nyxpriv|svc_|zilerr)' || true)
count=$(nm -D --defined-only "$lib" | awk '$2 == "T" { n++ } END { print n + 0 }')
if [ -n "$bad" ]; then
    echo "libnyx.so exports names outside the interface:" >&2
    echo "$bad" >&2
    exit 1
fi
if [ "$count" -eq 0 ]; then
    echo "libnyx.so exports no functions" >&2
    exit 1
fi
if [ -n "$headers" ]; then
    # A declaration starts a line: "NYX_API <type> <name>(".
    declared=$(cat "$headers"/*.h | grep -o '^NYX_API [^(;]*(' |
               sed -E 's/.*[ *]([A-Za-z_][A-Za-z_0-9]*)[ ]*\($/\1/' | sort -u)
    exported=$(nm -D --defined-only "$lib" | awk '$2 == "T" { print $3 }' | sort -u)
    missing=$(printf '%s\n' "$declared" | while read -r name; do
        printf '%s\n' "$exported" | grep -qx "$name" || echo "$name"
    done)
    if [ -n "$missing" ]; then
        echo "functions the public headers declare but libnyx.so does not export:" >&2
        echo "$missing" >&2
        exit 1
    fi
    echo "exports: every function of the public headers is exported"
fi
echo "exports: $count interface functions, nothing else"
