#!/bin/bash
# Folders of another user, as root meets them: a build root, a DIST folder and
# a Wine prefix that a throwaway user made beforehand under a sticky
# world-writable folder are each refused in one line naming that user, and
# nothing in them runs or changes (the build tool named in that user's
# CMakeCache.txt never runs). Needs root (useradd); skipped otherwise. Prints
# "N passed, N failed".
#   ownership_test.sh SOURCE_DIR
set -uo pipefail
src=$(cd "$1" && pwd)
source "$src/tests/support/checks.sh"
if [ "$(id -u)" != 0 ] || ! command -v useradd >/dev/null; then
  echo "skipped: making a throwaway user needs root and useradd"
  exit 77
fi
new_temporary_folder work
other=vornelle-o$$
useradd --no-create-home --shell /usr/sbin/nologin "$other" || exit 1
trap 'userdel "$other" 2>/dev/null; remove_temporary_folders' EXIT
chmod 755 "$work"
shared=$work/shared
mkdir -m 1777 "$shared"
snapshot() {  # FOLDER: every entry with its owner, mode, size and time
  find "$1" -printf '%p %u %m %s %T@ %y\n' | sort
}
one_line_naming() {  # FILE TEXT...: one line besides make's own "***" line
  local file=$1; shift
  [ "$(grep -v '^make.*\*\*\*' "$file" | grep -c .)" -eq 1 ] || { cat "$file"; return 1; }
  for text; do grep -qF -- "$text" "$file" || { cat "$file"; return 1; }; done
}

# A build folder of the other user's whose cache names a build tool of theirs.
build=$shared/build
mkdir -p "$build/i686"
printf '#!/bin/sh\ntouch "%s"\n' "$work/ran" > "$shared/their-make"
chmod 755 "$shared/their-make"
printf '%s\n' "CMAKE_GENERATOR:INTERNAL=Unix Makefiles" "CMAKE_PROJECT_NAME:STATIC=vornelle" \
  "CMAKE_MAKE_PROGRAM:FILEPATH=$shared/their-make" "CMAKE_HOME_DIRECTORY:INTERNAL=$src" \
  > "$build/i686/CMakeCache.txt"
printf 'a build root of this project\n' > "$build/.vornelle-build"
# A DIST folder and a Wine prefix, each marked as the project marks them.
mkdir -p "$shared/dist" "$shared/prefix/drive_c"
echo "an older zip" > "$shared/dist/$(python3 -I -B "$src/release/version.py" --zip-name)"
arch=${VORNELLE_ARCH:-x86_64}
echo "$arch" > "$shared/prefix/.vornelle-arch"
chown -R "$other" "$shared"/*
before=$(snapshot "$shared")

make -s -C "$src" product BUILD="$build" >"$work/out" 2>"$work/err"
check "make product refuses another user's build folder" [ $? -ne 0 ]
check "... and does not run the build tool its cache names" [ ! -e "$work/ran" ]
check "... saying so in one line naming the user" \
  one_line_naming "$work/err" "$build belongs to user $other"
make -s -C "$src" clean BUILD="$build" >"$work/out" 2>"$work/err"
check "make clean leaves another user's marked build folder" [ -f "$build/i686/CMakeCache.txt" ]
check "... saying so in one line naming the user" \
  one_line_naming "$work/err" "$build belongs to user $other"

exe=$work/vornelle.exe
echo "MZ" > "$exe"
(cd "$src" && release/pack.sh "$exe" "$shared/dist") >"$work/out" 2>"$work/err"
check "make dist refuses another user's DIST folder" [ $? -ne 0 ]
check "... saying so in one line naming the user" \
  one_line_naming "$work/err" "DIST: $shared/dist belongs to user $other"

if why=$("$src/tools/can-run" "$arch"); then
  env -u VORNELLE_SESSION_PREFIX WINEPREFIX="$shared/prefix" VORNELLE_ARCH="$arch" \
    "$src/tools/wine-session" touch "$work/ran" >"$work/out" 2>"$work/err"
  check "a Wine session refuses another user's marked prefix" [ $? -ne 0 -a ! -e "$work/ran" ]
  check "... saying so in one line naming the user" \
    one_line_naming "$work/err" "$shared/prefix belongs to user $other"
else
  echo "(no Wine session: $why)"
fi
check "nothing of the other user's changed" [ "$(snapshot "$shared")" = "$before" ]

checks_summary
