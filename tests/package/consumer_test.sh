#!/usr/bin/env bash
# Installs the build into a scratch prefix, builds a consumer with find_package(torvo)
# and with pkg-config, and converts an object with it; the .X must equal torvo's.
set -euo pipefail
build=$1; source=$2
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$source/tests/package/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
mkdir "$work/a" "$work/b" "$work/c"
"$work/consumer/consumer" "$source/examples/Objects/lid.lwo" "$work/a/" | grep -qx "result 0, with messages"
"$work/prefix/bin/torvo" -b "$source/examples/Objects/lid.lwo" "$work/b/" >/dev/null
cmp "$work/a/lid.X" "$work/b/lid.X"
if command -v pkg-config >/dev/null; then
  export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
  tpl=$(pkg-config --variable=templatefile torvo)
  cc -DTEMPLATE_FILE="\"$tpl\"" $(pkg-config --cflags torvo) "$source/tests/package/consumer/main.c" \
    -o "$work/pc-consumer" $(pkg-config --libs torvo)
  "$work/pc-consumer" "$source/examples/Objects/lid.lwo" "$work/c/" >/dev/null
  cmp "$work/a/lid.X" "$work/c/lid.X"
fi
echo "consumer built with find_package(torvo) converts like torvo"
