#!/bin/bash
# The release check's rebuild in a minimal root of the recorded Debian
# release, for real: a release packed here from the build's vornelle.exe is
# verified with REBUILD=root, byte for byte, and the check says it built in
# the root; the same release recording a version that the mirror does not
# hold fails with one line naming it and the variable for a snapshot mirror.
# No root folder and no mount is left behind. Needs root, debootstrap, the
# build's tools installed from a Debian archive and that archive's mirror;
# exit 77, skipped, without them. A few minutes (the root is made from
# tools/debian-root's cached tarball after the first time).
#   root_rebuild_test.sh SOURCE_DIR EXE WORK_DIR
set -uo pipefail
src=$(cd "$1" && pwd)
exe=$(realpath -- "$2")
work=$3
source "$src/tests/support/checks.sh"
skip() { echo "skipped: $*"; exit 77; }

[ "$(id -u)" -eq 0 ] || skip "making a Debian root needs root"
PATH=$PATH:/usr/sbin:/sbin command -v debootstrap >/dev/null \
  || skip "making a Debian root needs debootstrap (apt-get install debootstrap)"
fresh_work_folder "$work"
work=$(cd "$work" && pwd)

(cd "$src" && release/pack.sh "$exe" "$work/dist" >/dev/null) || exit 1
genuine=$work/dist/$(python3 -I -B "$src/release/version.py" --zip-name)
debian=$(unzip -p "$genuine" BUILDINFO | sed -n 's/^debian: \([a-z0-9]*\), archive dated .*/\1/p')
[ -n "$debian" ] || skip "this machine's tools came from no Debian archive its apt lists hold"
"$src/tools/debian-mirror" --suite "$debian" >/dev/null 2>&1 \
  || skip "no apt source of this machine names a Debian mirror for $debian"

commit=$(unzip -p "$genuine" BUILDINFO | sed -n 's/^commit: \([0-9a-f]\{40\}\)$/\1/p')
[ -n "$commit" ] || skip "the build's source folder has changes not committed, which a release records as such"
# The check's temporary folders and the root, in a folder of the test's own.
mkdir -p "$work/tmp"
verify() {  # ZIP REBUILD: the check's output in $out, its failure in $err, exit code in $rc
  TMPDIR=$work/tmp "$src/release/verify.py" --zip "$1" --commit "$commit" --rebuild "$2" \
    >"$work/out" 2>"$work/err"
  rc=$?
  out=$(cat "$work/out") err=$(cat "$work/err")
}

start=$(date +%s)
verify "$genuine" root
echo "  (the rebuild in a root took $(( $(date +%s) - start )) s)"
grep '^verify-release: vornelle.exe without' "$work/out" | sed 's/^/  /'
check "the genuine release is verified with the commit built in a root" [ $rc -eq 0 ]
check "... byte for byte, in a minimal Debian $debian root with the recorded versions" \
  grep -q "^verify-release: vornelle.exe without its signature equals a build of commit [0-9a-f]\{40\} in a minimal Debian $debian root with the recorded versions" <<<"$out"
check "... and \"verified\" says it was built from the commit" \
  grep -q "verified: built from commit" <<<"$(tail -n 1 <<<"$out")"
[ $rc -eq 0 ] || echo "  $err"

# The same release recording a cmake version that no mirror holds.
python3 -I -B - "$genuine" "$work/gone.zip" <<'PY'
import hashlib, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as old:
    infos = old.infolist()
    files = {i.filename: old.read(i) for i in infos}
files["BUILDINFO"] = files["BUILDINFO"].replace(b"package cmake: ", b"package cmake: 0.0-gone~")
files["SHA256SUMS"] = b"".join(b"%s  %s\n" % (hashlib.sha256(files[n]).hexdigest().encode(),
                                              n.encode())
                               for n in ("vornelle.exe", "README.md", "LICENSE", "BUILDINFO"))
with zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_DEFLATED) as new:
    for info in infos:
        new.writestr(info, files[info.filename])
PY
verify "$work/gone.zip" ""
check "a recorded version the mirror lacks fails the check" [ $rc -eq 1 ]
check "... with one line" [ "$(wc -l <"$work/err")" -eq 1 ]
check "... naming the version" grep -q "no longer holds cmake 0.0-gone~" <<<"$err"
check "... and the variable for a snapshot mirror" \
  grep -q "set REBUILD_MIRROR to a snapshot mirror .* ending in /archive/debian/[0-9]\{8\}T[0-9]\{6\}Z/" <<<"$err"
echo "  $err"

check "no root folder is left behind" [ -z "$(ls -A "$work/tmp")" ]
check "nothing is left mounted under it" bash -c '! findmnt -rno TARGET | grep -qF "$1/"' _ "$work/tmp"
checks_summary
