#!/bin/sh
# Builds the Debian package, unpacks it and converts an example with the unpacked
# program: it must find its template file and write what the build tree's program writes.
#   deb_package.sh CPACK BUILD_DIR TORVO EXAMPLES_DIR
set -eu
cpack=$1 build=$2 torvo=$3 examples=$4
command -v dpkg-deb >/dev/null 2>&1 || { echo "dpkg-deb not found: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
dpkg-deb -x "$work"/pkg/torvo_*.deb "$work/root"
for f in bin/torvo bin/TORVOtpl.x share/man/man1/torvo.1; do
  [ -f "$work/root/usr/$f" ] || { echo "the package lacks /usr/$f"; exit 1; }
done
# The crate's texture is found through the content directory and becomes a PPM.
printf 'LWCO\n0\nContentDirectory %s\n' "$examples" >"$work/lw.cfg"
mkdir "$work/built" "$work/packaged"
(cd "$work/built" && "$torvo" -C ../lw.cfg Objects/crate.lwo >../built.log)
(cd "$work/packaged" && "$work/root/usr/bin/torvo" -C ../lw.cfg Objects/crate.lwo >../packaged.log) ||
  { cat "$work/packaged.log"; exit 1; }
diff "$work/built.log" "$work/packaged.log"
diff -r "$work/built" "$work/packaged"
ls "$work/packaged/crate.X" "$work/packaged/crate.PPM"
