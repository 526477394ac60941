#!/bin/bash
# Reproducible release: builds the i686 vornelle.exe twice, from two copies of the
# sources in different folders into different build folders (product only, no
# tests), and requires the two executables to be identical byte for byte. When
# release/README.md and LICENSE are present it also packs both with `make dist`
# and requires the two zips, BUILDINFO among their files, to be identical.
#   reproducible_build.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
work=$2
source "$src/tests/support/checks.sh"
fresh_work_folder "$work"
mkdir -p "$work/copy/of/the/sources"
work=$(cd "$work" && pwd)
copy=$work/copy/of/the/sources
# The sources and their version-control data (BUILDINFO names the commit), no
# build output or packages.
tar -C "$src" --exclude=./build --exclude=./dist -cf - . | tar -C "$copy" -xf -

build_product=$src/release/build-product.sh
# Build roots as `make` lays them out: the i686 folder under each.
"$build_product" "$src" "$work/one/i686"
"$build_product" "$copy" "$work/second-build-folder/i686"
a=$work/one/i686/app/vornelle.exe
b=$work/second-build-folder/i686/app/vornelle.exe
sha256sum "$a" "$b"
if ! cmp "$a" "$b"; then
  echo "FAIL: the two builds of vornelle.exe differ" >&2
  cmp -l "$a" "$b" | head -20 >&2
  exit 1
fi
echo "vornelle.exe: identical ($(stat -c %s "$a") bytes)"

if [ -e "$src/release/README.md" ] && [ -e "$src/LICENSE" ]; then
  name=$(python3 -I -B "$src/release/version.py" --zip-name)
  make -C "$src" dist BUILD="$work/one" DIST="$work/dist-one" >/dev/null
  sleep 1  # a later clock must not change the package
  make -C "$copy" dist BUILD="$work/second-build-folder" DIST="$work/dist-two" >/dev/null
  za=$work/dist-one/$name
  zb=$work/dist-two/$name
  sha256sum "$za" "$zb"
  cmp "$za" "$zb" || { echo "FAIL: the two release zips differ" >&2; exit 1; }
  unzip -l "$za"
  echo "$name: identical"
else
  echo "note: release/README.md or LICENSE missing; release zip not compared"
fi
