#!/usr/bin/env bash
# A short tour of the command-line tool.
set -euo pipefail
build=${1:-build/default}
nyx="$build/tools/nyx"
run() { echo "\$ nyx $*"; "$nyx" "$@"; echo; }
run --help
run version
# head stops reading early; the tool then ends on a broken pipe, which is expected here.
echo "\$ nyx errors | head -n 8"; { "$nyx" errors || true; } | head -n 8; echo
echo "\$ list_libs"; "$build/examples/list_libs"
