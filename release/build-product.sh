#!/bin/bash
# Builds the released i686 vornelle.exe alone (no tests) from a source folder
# into a build folder, quietly; the exe is BUILD_DIR/app/vornelle.exe. Equal
# sources give the same exe byte for byte, whatever the two folders are.
#   build-product.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
cd "$1"
cmake --preset i686 -B "$2" -DVORNELLE_TESTS=OFF >/dev/null
cmake --build "$2" -j 2 --target vornelle >/dev/null
