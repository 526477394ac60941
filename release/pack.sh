#!/bin/bash
# Packs the release zip DIST_DIR/vornelle-VERSION-win32.zip (release/version.py
# names it): the i686 exe, README.md (the user's page, release/README.md),
# LICENSE, BUILDINFO (the commit, flags and tool versions of the build) and
# SHA256SUMS of them, written by release/release_zip.py, the one writer of
# the release's layout, which the check makes again: equal inputs give equal
# zips. Given signing settings, it first signs the exe
# (Authenticode, SHA-256) and checks the signature, and signs SHA256SUMS with
# GPG; without them the zip is the unsigned one. The package is put together
# in a private temporary folder, removed on the way out; on failure it says
# why in one line and leaves no zip. After GPG signing no agent keeps the key's
# passphrase: an agent it started is stopped, one already running forgets it.
# DIST_DIR must be the caller's own folder, or new (tools/lib/owned.sh). Every
# outside tool runs within a time limit and a cap on its output
# (release/tool_run.py); one that is missing or runs past them stops the
# packing with one line naming it.
#   pack.sh EXE DIST_DIR      (from the source folder; `make dist` runs it)
# Settings, from the environment (`make dist SIGN_KEY=...` passes them on):
#   SIGN_KEY            the private key: a PEM or DER file; a PKCS#12 file
#                       (.p12 or .pfx, which holds the certificates too); or
#                       a pkcs11: URI of a key on a hardware token
#   SIGN_CERT           the certificate chain, signer first (PEM or DER), or a
#                       pkcs11: URI of the certificate on the token
#   SIGN_PASS_FILE      a file, or /dev/fd/N, whose first line is the key's
#                       passphrase or the token's PIN
#   SIGN_PKCS11_MODULE  the token's PKCS#11 module (a .so file)
#   SIGN_PKCS11_ENGINE  the OpenSSL engine that loads it, when not the default
#   SIGN_TIMESTAMP_URL  refused: a release's signature carries no time stamp,
#                       as the check accepts no unsigned attributes
#   SIGN_CA             root certificate(s), PEM, that the signature must chain
#                       to; without it only the signature's integrity is checked
#   SIGN_GPG_KEY        the GPG key id that signs SHA256SUMS (SHA256SUMS.asc)
#   SIGN_GPG_PASS_FILE  a file, or /dev/fd/N, holding that key's passphrase
# Passphrases are read by the tools from those files: never an argument.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tools/lib/wait.sh"
source "$here/../tools/lib/owned.sh"
exe=$(realpath -- "$1")
dist=$2
python=(python3 -I -B)
name=$("${python[@]}" "$here/version.py" --zip-name 2>&1) || { echo "dist: $name" >&2; exit 1; }
zip=$dist/$name

fail() {
  echo "dist: $*" >&2
  exit 1
}
notes=()  # what was signed, said once the zip is made
why=$(owned_refusal "$dist") || fail "DIST: $why; nothing packed"
# run_tool SECONDS [--stdout FILE] COMMAND...: COMMAND's output (both streams,
# capped) in out, or its standard output alone in FILE;
# a tool missing or past its bounds stops the packing with the runner's line.
out=
run_tool() {
  local status=0
  out=$("${python[@]}" "$here/tool_run.py" "$@" 2>&1 </dev/null) || status=$?
  [ $status -ne 125 ] || fail "${out##*$'\n'}"
  return $status
}
pkg=$(mktemp -d "${TMPDIR:-/tmp}/vornelle-pack.XXXXXX")
trap 'rm -rf -- "$pkg"' EXIT
mkdir -p -- "$dist"
rm -f -- "$zip"

readable() {  # SETTING_NAME: its file must be readable
  local path=${!1}
  [ -z "$path" ] || [ -r "$path" ] || fail "$1: cannot read $path"
}

# Authenticode: the tool's options for the key and its certificates.
key_options() {
  case "$SIGN_KEY" in
    pkcs11:*)
      [ -n "$SIGN_PKCS11_MODULE" ] || fail "SIGN_KEY is on a token: SIGN_PKCS11_MODULE names its module"
      [ -n "$SIGN_CERT" ] || fail "SIGN_CERT: the certificate (a file or a pkcs11: URI) is missing"
      readable SIGN_PKCS11_MODULE
      options=(${SIGN_PKCS11_ENGINE:+-pkcs11engine "$SIGN_PKCS11_ENGINE"}
               -pkcs11module "$SIGN_PKCS11_MODULE" -key "$SIGN_KEY")
      case "$SIGN_CERT" in
        pkcs11:*) options+=(-pkcs11cert "$SIGN_CERT") ;;
        *) readable SIGN_CERT; options+=(-certs "$SIGN_CERT") ;;
      esac ;;
    *.p12 | *.pfx | *.P12 | *.PFX)
      readable SIGN_KEY
      [ -z "$SIGN_CERT" ] || fail "SIGN_CERT: a PKCS#12 SIGN_KEY holds the certificates; give no other"
      options=(-pkcs12 "$SIGN_KEY") ;;
    *)
      [ -n "$SIGN_KEY" ] || fail "SIGN_CERT is given without SIGN_KEY"
      [ -n "$SIGN_CERT" ] || fail "SIGN_KEY is given without SIGN_CERT"
      readable SIGN_KEY
      readable SIGN_CERT
      options=(-certs "$SIGN_CERT" -key "$SIGN_KEY") ;;
  esac
  readable SIGN_PASS_FILE
  options+=(${SIGN_PASS_FILE:+-readpass "$SIGN_PASS_FILE"})
}

# Signs $pkg/vornelle.exe in place and checks it: the signature holds and
# fills its table exactly, and removing it gives back the unsigned bytes.
sign_exe() {
  local options unsigned=$pkg/vornelle.unsigned.exe out
  key_options
  readable SIGN_CA
  mv "$pkg/vornelle.exe" "$unsigned"
  if ! run_tool 300 osslsigncode sign "${options[@]}" -h sha256 -n Vornelle \
               -in "$unsigned" -out "$pkg/vornelle.exe"; then
    fail "signing vornelle.exe failed: $(echo "$out" | grep -m1 -v '^[0-9A-F]*:error:' \
                                           | grep . || echo "osslsigncode gave no reason")"
  fi
  run_tool 300 "${python[@]}" "$here/authenticode.py" check "$pkg/vornelle.exe" ${SIGN_CA:+"$SIGN_CA"} \
    || fail "vornelle.exe was signed but: $out"
  local checked=$out
  run_tool 60 "${python[@]}" "$here/authenticode.py" strip "$pkg/vornelle.exe" \
    "$pkg/vornelle.removed.exe" && cmp -s "$pkg/vornelle.removed.exe" "$unsigned" \
    || fail "vornelle.exe without its signature is not the unsigned exe"
  rm -f "$unsigned" "$pkg/vornelle.removed.exe"
  notes+=("dist: vornelle.exe signed, signature $checked")
}

# gpg leaves the passphrase with the agent for its cache time; nothing of the
# key stays usable once SHA256SUMS is signed.
gpg_agent_running() {
  run_tool 10 gpg-connect-agent --no-autostart 'GETINFO pid' /bye && grep -q '^D [0-9]' <<<"$out"
}
gpg_agent_gone() { ! gpg_agent_running; }
forget_gpg_passphrase() {  # AGENT_WAS_RUNNING
  local grip
  if [ "$1" = no ]; then
    run_tool 10 gpgconf --kill gpg-agent || true
    wait_until 5 gpg_agent_gone
    return
  fi
  run_tool 30 gpg --batch --no-tty --with-colons --with-keygrip --list-secret-keys \
    -- "$SIGN_GPG_KEY" || true
  for grip in $(awk -F: '$1 == "grp" && $10 ~ /^[0-9A-F]+$/ {print $10}' <<<"$out"); do
    run_tool 10 gpg-connect-agent --no-autostart "clear_passphrase --mode=normal $grip" /bye || true
  done
}
sign_sums() {
  local out agent=no status=0
  readable SIGN_GPG_PASS_FILE
  gpg_agent_running && agent=yes
  run_tool 120 gpg --batch --yes --no-tty --local-user "$SIGN_GPG_KEY" \
    ${SIGN_GPG_PASS_FILE:+--pinentry-mode loopback --passphrase-file "$SIGN_GPG_PASS_FILE"} \
    --armor --detach-sign --output "$pkg/SHA256SUMS.asc" -- "$pkg/SHA256SUMS" || status=$?
  local signed=$out
  forget_gpg_passphrase $agent
  [ $status -eq 0 ] \
    || fail "signing SHA256SUMS with GPG key $SIGN_GPG_KEY failed: $(echo "$signed" | grep -m1 . || true)"
  notes+=("dist: SHA256SUMS signed with GPG key $SIGN_GPG_KEY")
}

for setting in SIGN_KEY SIGN_CERT SIGN_PASS_FILE SIGN_PKCS11_MODULE SIGN_PKCS11_ENGINE \
               SIGN_TIMESTAMP_URL SIGN_CA SIGN_GPG_KEY SIGN_GPG_PASS_FILE; do
  declare "$setting=${!setting:-}"
done
[ -z "$SIGN_TIMESTAMP_URL" ] || fail "SIGN_TIMESTAMP_URL: a release's signature carries no \
time stamp (the check accepts no unsigned attributes); give none"
if [ -z "$SIGN_KEY$SIGN_CERT" ]; then
  for setting in SIGN_PASS_FILE SIGN_PKCS11_MODULE SIGN_PKCS11_ENGINE SIGN_CA; do
    [ -z "${!setting}" ] || fail "$setting is given without SIGN_KEY and SIGN_CERT"
  done
fi
[ -n "$SIGN_GPG_KEY" ] || [ -z "$SIGN_GPG_PASS_FILE" ] \
  || fail "SIGN_GPG_PASS_FILE is given without SIGN_GPG_KEY"

cp -- "$exe" LICENSE "$pkg/"
cp -- release/README.md "$pkg/README.md"
run_tool 120 --stdout "$pkg/BUILDINFO" "${python[@]}" "$here/buildinfo.py" \
  "$(dirname "$(dirname "$exe")")" || fail "BUILDINFO could not be written"
[ -z "$SIGN_KEY$SIGN_CERT" ] || sign_exe
mapfile -t summed < <("${python[@]}" "$here/release_zip.py" summed)
[ ${#summed[@]} -gt 0 ] || fail "release/release_zip.py did not name the files to sum"
(cd "$pkg" && { run_tool 60 --stdout SHA256SUMS sha256sum -- "${summed[@]}" \
                 || fail "SHA256SUMS could not be written: $out"; }) || exit 1
[ -z "$SIGN_GPG_KEY" ] || sign_sums
run_tool 60 "${python[@]}" "$here/release_zip.py" pack "$pkg" "$pkg/$name" \
  || fail "the zip could not be written: $out"
mv -- "$pkg/$name" "$zip"
[ ${#notes[@]} -eq 0 ] || printf '%s\n' "${notes[@]}"
echo "dist: $zip"
