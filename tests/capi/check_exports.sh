#!/bin/sh
# Lists the dynamic symbols that libnyx.so defines and fails on any that is not an interface
# function (families cfidr, cfiel, nyxdr, nyxdw, nyxpriv, svc_, zilerr).
set -eu
lib=$1
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
echo "exports: $count interface functions, nothing else"
