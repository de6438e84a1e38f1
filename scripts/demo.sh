#!/usr/bin/env bash
# The main job end to end: a design built through the C interface and saved, then read back by the
# tool (list, dump, counts as JSON, the hierarchy as a tree and as Graphviz text), and the same
# kind of design built, saved, reopened and walked from Python.
set -euo pipefail
build=${1:-build/default}
build=$(cd "$build" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
nyx="$build/tools/nyx"
demo=$(mktemp -d)
trap 'rm -rf "$demo"' EXIT
cd "$demo"
export ZIL_NYX_LIBRARYMAP=. ZIL_LOCATION_MAP=NO_MAP
run() { echo "\$ nyx $*"; "$nyx" "$@"; echo; }

run version
echo "\$ make_design      # examples/make_design.c: a buffer of two inverters, saved in ./demolib"
"$build/examples/make_design"
echo
run ls demolib
run dump demolib buffer netlist
run stats demolib buffer netlist --json
run hier demolib buffer netlist
run hier demolib buffer netlist --dot
run eval 'width * 2 + 1' width=20

python=/usr/bin/python3
[ -x "$python" ] || python=python3
echo "\$ python3 examples/python/walk_design.py"
NYX_LIBRARY="$build/src/libnyx.so" "$python" "$root/examples/python/walk_design.py"
