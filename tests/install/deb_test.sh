#!/bin/sh
# Builds the Debian package of the build folder with cpack and checks that it holds the installed
# files under /usr: the library with its SONAME link, the headers, the tool and both package files.
# usage: deb_test.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; exit 1; }
deb=$(ls "$work"/*.deb)
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./||' | sort >"$work/files"
cat "$work/files"
for f in usr/lib/libnyx.so.0 usr/lib/libnyx.so usr/include/nyx/cfidr.h usr/bin/nyx \
         usr/lib/cmake/nyx/nyxConfig.cmake usr/lib/cmake/nyx/nyxTargets.cmake usr/lib/pkgconfig/nyx.pc \
         usr/lib/python3/dist-packages/nyx/__init__.py; do
    grep -qx "$f" "$work/files" || { echo "deb_test: $f missing from $(basename "$deb")" >&2; exit 1; }
done
dpkg-deb -f "$deb" Package Version | tr '\n' ' '
echo
