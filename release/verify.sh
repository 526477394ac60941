#!/bin/bash
# Checks a release zip as a user would, one line per check: every packed file
# matches SHA256SUMS (and SHA256SUMS.asc, when packed, is a good GPG signature
# by a key in the user's keyring); the exe's Authenticode signature chains to
# the given CA file, or without one is at least intact; and the exe with its
# signature removed equals, byte for byte, a fresh build of the named commit
# made in a temporary clone. Exit 0 only when all of it holds.
#   verify.sh --zip ZIP [--ca CA_FILE] [--commit COMMIT] [--repo REPO]
# COMMIT defaults to HEAD and REPO to the repository this script is in.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
zip= ca= commit= repo=$(cd "$here/.." && pwd)
while [ $# -gt 0 ]; do
  case "$1" in
    --zip | --ca | --commit | --repo) declare "${1#--}=$2"; shift 2 ;;
    *) echo "usage: verify.sh --zip ZIP [--ca CA_FILE] [--commit COMMIT] [--repo REPO]" >&2; exit 2 ;;
  esac
done
commit=${commit:-HEAD}

say() { echo "verify-release: $*"; }
fail() {
  echo "verify-release: FAILED: $*" >&2
  exit 1
}
[ -n "$zip" ] || fail "no zip named (make verify-release ZIP=path/to/vornelle-1.0-win32.zip)"
[ -r "$zip" ] || fail "cannot read $zip"
[ -z "$ca" ] || [ -r "$ca" ] || fail "cannot read the CA file $ca"
zip=$(realpath "$zip")
[ -z "$ca" ] || ca=$(realpath "$ca")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
unzip -q "$zip" -d "$tmp/zip" || fail "$zip is not a readable zip"
cd "$tmp/zip"

# 1. Checksums, and their signature.
[ -f SHA256SUMS ] || fail "the zip holds no SHA256SUMS"
for file in *; do
  case "$file" in SHA256SUMS | SHA256SUMS.asc) continue ;; esac
  cut -c67- SHA256SUMS | grep -qxF "$file" || fail "$file is packed but not listed in SHA256SUMS"
done
out=$(sha256sum -c --strict SHA256SUMS 2>&1) \
  || fail "SHA256SUMS: $(echo "$out" | grep -m1 -v ': OK$')"
say "SHA256SUMS: $(wc -l < SHA256SUMS) files match"
if [ -f SHA256SUMS.asc ]; then
  out=$(gpg --batch --status-fd 1 --verify SHA256SUMS.asc SHA256SUMS 2>/dev/null </dev/null) \
    && good=$(echo "$out" | sed -n 's/^\[GNUPG:\] GOODSIG [0-9A-F]* //p') && [ -n "$good" ] \
    || fail "SHA256SUMS.asc: not a good signature of SHA256SUMS by a key in the keyring"
  say "SHA256SUMS.asc: good signature by $good"
else
  say "SHA256SUMS.asc: none packed (the checksums are not signed)"
fi

# 2. The Authenticode signature.
unsigned=$tmp/unsigned.exe
if osslsigncode extract-signature -in vornelle.exe -out "$tmp/signature" >/dev/null 2>&1 </dev/null; then
  out=$("$here/check-signature.sh" vornelle.exe "$ca" 2>&1) || fail "vornelle.exe: $out"
  say "vornelle.exe: signature $out"
  osslsigncode remove-signature -in vornelle.exe -out "$unsigned" >/dev/null 2>&1 </dev/null \
    || fail "vornelle.exe: cannot remove its signature"
else
  [ -z "$ca" ] || fail "vornelle.exe is not signed, yet a CA was named"
  say "vornelle.exe: not signed"
  cp vornelle.exe "$unsigned"
fi

# 3. The unsigned exe is what the commit builds.
sha=$(git -C "$repo" rev-parse --verify -q "$commit^{commit}" 2>/dev/null || echo "$commit")
git clone -q --no-checkout "$repo" "$tmp/source" 2>/dev/null || fail "cannot clone $repo"
git -C "$tmp/source" -c advice.detachedHead=false checkout -q "$sha" 2>/dev/null \
  || fail "commit $commit is not in $repo"
sha=$(git -C "$tmp/source" rev-parse HEAD)
"$here/build-product.sh" "$tmp/source" "$tmp/build/i686" || fail "the build of commit $sha failed"
cmp -s "$unsigned" "$tmp/build/i686/app/vornelle.exe" \
  || fail "vornelle.exe without its signature differs from a fresh build of commit $sha"
say "vornelle.exe without its signature equals a fresh build of commit $sha ($(stat -c %s "$unsigned") bytes)"
say "$(basename "$zip"): verified"
