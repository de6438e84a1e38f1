#!/usr/bin/env bash
# The main job end to end: a design built through the C interface and saved, then read back by the
# tool (list, dump, counts as JSON, the hierarchy as a tree and as Graphviz text), and the same
# kind of design built, saved, reopened and walked from Python; then a gate-level Verilog netlist
# imported (compiled by nyxvc through the library's compile-on-open) and read back as a view
# dump, counts, the occurrence hierarchy and the flat nets.
set -euo pipefail
build=${1:-build/default}
build=$(cd "$build" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
nyx="$build/tools/nyx"
demo=$(mktemp -d)
trap 'rm -rf "$demo"' EXIT
cd "$demo"
export ZIL_NYX_LIBRARYMAP=. ZIL_LOCATION_MAP=NO_MAP
# No compilers until the import writes its rules (reading a cell asks for the rules file).
: > no_compilers.rules
export ZIL_NYX_COMPILER_RULES="$demo/no_compilers.rules"
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

echo
echo "\$ cp examples/verilog/adder.v examples/verilog/cells.v .    # a 2-bit adder of standard cells"
cp "$root/examples/verilog/adder.v" "$root/examples/verilog/cells.v" .
run import adder.v --lib verilib --cells cells.v --save
# The rules file the import wrote: sessions that open a view not yet saved compile it through it.
export ZIL_NYX_COMPILER_RULES="$demo/verilib/nyxCompilers.rules"
run ls verilib
run dump verilib full_adder netlist
run stats verilib adder2 netlist
run walk verilib adder2 cfg --depth 2
run flat verilib adder2 cfg
