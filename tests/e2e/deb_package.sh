#!/bin/sh
# Builds the Debian package, unpacks it and converts an example with the unpacked
# program: it must find its template file and write what the build tree's program writes.
#   deb_package.sh CPACK BUILD_DIR TORVO EXAMPLES_DIR
set -eu
cpack=$1 build=$2 torvo=$3 examples=$4
if ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "dpkg-deb not found: skipped"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  exit 1
fi
set -- "$work"/pkg/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || { echo "expected one .deb, found: $*"; exit 1; }
dpkg-deb -x "$1" "$work/root"
for f in usr/bin/torvo usr/bin/TORVOtpl.x usr/share/man/man1/torvo.1; do
  [ -f "$work/root/$f" ] || { echo "the package lacks $f"; exit 1; }
done

# The crate's texture is found through the content directory and becomes a PPM.
printf 'LWCO\n0\nContentDirectory %s\n' "$examples" >"$work/lw.cfg"
for side in packaged built; do
  mkdir "$work/$side"
  exe=$torvo
  [ $side = packaged ] && exe=$work/root/usr/bin/torvo
  if ! (cd "$work/$side" && "$exe" -C ../lw.cfg Objects/crate.lwo >../$side.log); then
    cat "$work/$side.log"
    echo "the $side torvo failed"
    exit 1
  fi
done
diff "$work/built.log" "$work/packaged.log"
diff -r "$work/built" "$work/packaged"
[ -f "$work/packaged/crate.X" ] && [ -f "$work/packaged/crate.PPM" ] || { echo "no crate.X or crate.PPM"; exit 1; }
echo "package converts like the build tree: $(ls "$work/packaged")"
