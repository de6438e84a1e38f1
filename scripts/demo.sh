#!/usr/bin/env bash
# A short tour of the command-line tool.
set -euo pipefail
build=${1:-build/default}
build=$(cd "$build" && pwd)
nyx="$build/tools/nyx"
run() { echo "\$ nyx $*"; "$nyx" "$@"; echo; }
run --help
run version
# head stops reading early; the tool then ends on a broken pipe, which is expected here.
echo "\$ nyx errors | head -n 8"; { "$nyx" errors || true; } | head -n 8; echo
echo "\$ list_libs"; "$build/examples/list_libs"
echo
run eval 'width * 2 + 1' width=20
run eval '$format("%-8s|%6.2f", name, 3.14159)' name=clk
# A library on disk: a directory with a cell directory and a property file, listed by the tool.
demo=$(mktemp -d)
trap 'rm -rf "$demo"' EXIT
mkdir -p "$demo/demolib/inverter" "$demo/demolib/nand2"
printf '6 vendor 5 4 acme\n' >"$demo/demolib/_nyx_Lib"
echo "\$ ZIL_NYX_LIBRARYMAP=. nyx ls demolib"
(cd "$demo" && ZIL_NYX_LIBRARYMAP=. ZIL_LOCATION_MAP=NO_MAP "$nyx" ls demolib)
# A two-level design built through the C interface, saved, then read back by the tool.
echo
mkdir "$demo/built"
echo "\$ make_design"
(cd "$demo/built" && ZIL_NYX_LIBRARYMAP=. ZIL_LOCATION_MAP=NO_MAP "$build/examples/make_design")
echo
for cmd in dump stats; do
    echo "\$ nyx $cmd demolib buffer netlist"
    (cd "$demo/built" && ZIL_NYX_LIBRARYMAP=. ZIL_LOCATION_MAP=NO_MAP "$nyx" $cmd demolib buffer netlist)
    echo
done
