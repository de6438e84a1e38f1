#!/bin/sh
# Installs the build into a temporary prefix and checks the result as a user would: the library's
# SONAME and links, the headers in their own folder, the tool, a small C program built once through
# the CMake package and once through pkg-config, each of which must run, and the Python package.
# usage: install_test.sh BUILD_DIR SOURCE_DIR C_COMPILER [EXTRA_CFLAGS]
set -eu
build=$1 src=$2 cc=$3 extra=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "install_test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install failed"; }
libdir=$(dirname "$(find "$prefix" -name 'libnyx.so.0' | head -n 1)")
[ -n "$libdir" ] && [ -d "$libdir" ] || fail "no libnyx.so.0 under $prefix"
[ -L "$libdir/libnyx.so" ] && [ -L "$libdir/libnyx.so.0" ] || fail "libnyx.so and libnyx.so.0 must be links"
[ -f "$(readlink -f "$libdir/libnyx.so")" ] || fail "libnyx.so points nowhere"
soname=$(objdump -p "$libdir/libnyx.so" | awk '$1 == "SONAME" { print $2 }')
[ "$soname" = libnyx.so.0 ] || fail "SONAME is '$soname', expected libnyx.so.0"
for h in cfidr.h nyxdr.h nyxdw.h nyxpriv.h nyxtypes.h zilerr.h; do
    [ -f "$prefix/include/nyx/$h" ] || fail "header $h missing from include/nyx"
done
[ -f "$libdir/cmake/nyx/nyxConfig.cmake" ] || fail "no CMake package"
[ -f "$libdir/pkgconfig/nyx.pc" ] || fail "no nyx.pc"
"$prefix/bin/nyx" version >/dev/null || fail "installed tool does not run"

# CMake package.
CFLAGS="$extra" LDFLAGS="$extra" cmake -S "$src/consumer" -B "$work/cm" -G Ninja \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_PREFIX_PATH="$prefix" >"$work/cm.log" 2>&1 ||
    { cat "$work/cm.log"; fail "consumer configure failed"; }
cmake --build "$work/cm" >>"$work/cm.log" 2>&1 || { cat "$work/cm.log"; fail "consumer build failed"; }
(cd "$work" && "$work/cm/consumer") || fail "consumer (CMake package) failed"

# pkg-config.
flags=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs nyx) || fail "pkg-config failed"
# shellcheck disable=SC2086
"$cc" $extra -o "$work/pc_consumer" "$src/consumer/consumer.c" $flags || fail "pkg-config build failed"
(cd "$work" && LD_LIBRARY_PATH="$libdir" "$work/pc_consumer") || fail "consumer (pkg-config) failed"
# The Python package, with the installed library found by the dynamic linker.
if [ -z "$extra" ] && [ -x /usr/bin/python3 ]; then
    PYTHONPATH="$libdir/python3/dist-packages" LD_LIBRARY_PATH="$libdir" PYTHONDONTWRITEBYTECODE=1 \
        /usr/bin/python3 -c 'import nyx, sys; sys.exit(0 if nyx.error_text(0) == "No error occurred." else 1)' ||
        fail "installed Python package does not load the installed library"
fi
echo "install_test: installed layout, CMake package and pkg-config consumers all good"
