#!/bin/bash
# Checks the Authenticode signature of a signed exe and prints one line on
# what it found. With a CA file, the signature must verify and its signer's
# certificate chain to a root in that file. Without one, only its integrity:
# the signer's signature over the signed data holds, and the file's digest
# equals the one that was signed (who signed is not vouched for).
#   check-signature.sh EXE [CA_FILE]    exit 0 when it holds
set -euo pipefail
exe=$1
ca=${2:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fail() { echo "the Authenticode signature does not hold: $*" >&2; exit 1; }

# Newer osslsigncode fetches the CRLs that certificates point to unless told
# not to; Debian 12's own (2.5) never fetches them and refuses the option.
offline=()
if osslsigncode --help 2>&1 | grep -q -- '-ignore-cdp'; then offline=(-ignore-cdp); fi

report=$tmp/report
status=0
osslsigncode verify ${ca:+-CAfile "$ca"} "${offline[@]}" -in "$exe" >"$report" 2>&1 </dev/null \
  || status=$?
current=$(sed -n 's/^Current message digest *: *\([0-9A-F]*\).*/\1/p' "$report" | head -1)
calculated=$(sed -n 's/^Calculated message digest *: *\([0-9A-F]*\).*/\1/p' "$report" | head -1)
[ -n "$current" ] || fail "no signature found in $(basename "$exe")"
[ "$current" = "$calculated" ] || fail "the file's digest is not the one that was signed"
signer=$(sed -n 's/^[[:space:]]*Subject: *//p' "$report" | head -1)
if [ -n "$ca" ] && [ $status -ne 0 ]; then
  why=$(sed -n 's/.*Verify error: *//p' "$report" | head -1)
  fail "${why:-the signature does not verify} (against $(basename "$ca"))"
fi

if [ -z "$ca" ]; then
  # The signed data is the SpcIndirectDataContent, whose digest covers its
  # value without its own tag and length; openssl checks the signer's
  # signature over it when handed that value as the content.
  osslsigncode extract-signature -in "$exe" -out "$tmp/sig.der" >/dev/null 2>&1 </dev/null \
    || fail "cannot read the signature of $exe"
  # Debian 12's osslsigncode (2.5) writes the signature as it stands in the
  # file, behind its 8-byte WIN_CERTIFICATE header (length, revision 2.0, type
  # PKCS#7); newer ones write the PKCS#7 alone.
  if [ "$(od -An -tx1 -j4 -N4 "$tmp/sig.der" | tr -d ' \n')" = "00020200" ]; then
    certificate_length=$(od -An -tu4 -N4 "$tmp/sig.der" | tr -d ' \n')
    tail -c +9 "$tmp/sig.der" | head -c $((certificate_length - 8)) >"$tmp/sig.bare"
    mv "$tmp/sig.bare" "$tmp/sig.der"
  fi
  read -r offset header length < <(openssl asn1parse -inform DER -in "$tmp/sig.der" \
    | grep -A2 ':1.3.6.1.4.1.311.2.1.4$' | sed -n 3p \
    | sed -E 's/^ *([0-9]+):.*hl= *([0-9]+) l= *([0-9]+).*/\1 \2 \3/')
  [ -n "${length:-}" ] || fail "no signed data in the signature of $exe"
  tail -c +$((offset + header + 1)) "$tmp/sig.der" | head -c "$length" >"$tmp/signed-data"
  openssl smime -verify -noverify -inform DER -in "$tmp/sig.der" -content "$tmp/signed-data" \
    -binary -out /dev/null >/dev/null 2>&1 || fail "the signer's signature is not valid"
  echo "intact (digest $current), signed by $signer; no CA given, so its origin is not checked"
else
  echo "valid, signed by $signer, chaining to $(basename "$ca")"
fi
