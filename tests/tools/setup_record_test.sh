#!/bin/bash
# Set-up's record and its choice of packages to remove (tools/setup-record), fed
# sample states: it records only what its apt call newly installs, and it
# removes only 32-bit packages that it installed and that are not wholly
# installed; packages of others, in whatever state, are left. Prints
# "N passed, N failed".
#   setup_record_test.sh SOURCE_DIR
set -uo pipefail
src=$(cd "$1" && pwd)
source "$src/tests/support/checks.sh"
record=$(mktemp) || exit 1
trap 'rm -f -- "$record"' EXIT

# What `apt-get -s install` prints: new packages of three architectures, an
# upgrade, and the configuring that follows.
new=$("$src/tools/setup-record" new <<'APT'
NOTE: This is only a simulation!
      apt-get needs root privileges for real execution.
Reading package lists...
Inst libwine:i386 (8.0~repack-4 Debian:12.5/stable [i386])
Inst wine32:i386 (8.0~repack-4 Debian:12.5/stable [i386])
Inst fonts-wine (8.0~repack-4 Debian:12.5/stable [all])
Inst wine64 (8.0~repack-4 Debian:12.5/stable [amd64])
Inst libc6 [2.36-9+deb12u3] (2.36-9+deb12u4 Debian:12.5/stable [amd64])
Conf libwine:i386 (8.0~repack-4 Debian:12.5/stable [i386])
Conf libc6 (2.36-9+deb12u4 Debian:12.5/stable [amd64])
APT
)
check "the record holds what the apt call newly installs, with its architecture" \
  [ "$new" = "$(printf '%s\n' libwine:i386 wine32:i386 fonts-wine:all wine64:amd64)" ]

printf '%s\n' wine32:i386 libwine:i386 libz3-4:i386 libgl1-mesa-dri:i386 \
  libvulkan1:i386 fonts-wine:all wine64:amd64 > "$record"
# NAME:ARCH WANT FLAG STATUS, as dpkg-query prints them.
states='wine32:i386 install reinstreq half-installed
libwine:i386 install ok unpacked
libz3-4:i386 install ok triggers-pending
libgl1-mesa-dri:i386 install ok installed
libvulkan1:i386 deinstall ok config-files
wine64:amd64 install ok half-configured
fonts-wine:all install ok half-installed
steam-libs:i386 install ok half-configured
libgl1:i386 install reinstreq half-installed
libudev1:i386 install ok triggers-awaited
libc6:i386 unknown ok not-installed'
chosen=$("$src/tools/setup-record" leftovers "$record" <<<"$states")
check "set-up removes its own 32-bit packages that did not install wholly" \
  [ "$chosen" = "$(printf '%s\n' wine32:i386 libwine:i386 libz3-4:i386)" ]
for other in steam-libs:i386 libgl1:i386 libudev1:i386; do
  check "... and leaves $other, half-installed by someone else" \
    bash -c '! grep -qx -- "$1" <<<"$2"' _ "$other" "$chosen"
done
check "nothing is removed without a record" \
  [ -z "$("$src/tools/setup-record" leftovers /dev/null <<<"$states")" ]

checks_summary
