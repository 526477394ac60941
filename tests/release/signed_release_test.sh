#!/bin/bash
# The signed release, with throwaway keys made here (a test root CA, a
# code-signing certificate, a GPG key): `make dist` with signing settings signs
# and checks the exe and SHA256SUMS, and `make verify-release` accepts the zip;
# a flipped byte, a stranger CA or another commit fail verification with their
# line; removing the signature gives back the unsigned exe; a wrong key or a
# missing file stops `make dist` with one line and no zip; no passphrase
# reaches an argument list or the output. Prints "N passed, N failed".
# It also leaves RUN_EXE signed at SIGNED_EXE, for the test that runs it.
#   signed_release_test.sh SOURCE_DIR WORK_DIR BUILD_ROOT RUN_EXE SIGNED_EXE
set -uo pipefail
src=$(cd "$1" && pwd)
work=$2
build=$(cd "$3" && pwd)
run_exe=$(realpath "$4")
signed_exe=$(realpath -m "$5")
rm -rf "$work" "$signed_exe"
mkdir -p "$work/keys" "$work/bin" "$(dirname "$signed_exe")"
work=$(cd "$work" && pwd)
keys=$work/keys
source "$src/tests/support/checks.sh"
quiet() { "$@" >/dev/null 2>&1; }

# --- Throwaway keys ---------------------------------------------------------
cat > "$keys/x509.cnf" <<'CNF'
[req]
distinguished_name = dn
[dn]
[root]
basicConstraints = critical,CA:true
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[signer]
basicConstraints = critical,CA:false
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF
KEY_PASS='key passphrase 7Hq2'
GPG_PASS='gpg passphrase 9Rt4'
printf '%s\n' "$KEY_PASS" > "$keys/pass"
printf '%s\n' "$GPG_PASS" > "$keys/gpg-pass"
x509() { openssl "$@" -config "$keys/x509.cnf" >/dev/null 2>&1; }
make_root() {  # NAME: a self-signed root CA, NAME.pem and NAME.key
  x509 req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$1" \
    -keyout "$keys/$1.key" -out "$keys/$1.pem" -extensions root
}
make_root root
make_root stranger-root
# The signer's key, encrypted with KEY_PASS, and its certificate from root.
x509 req -newkey rsa:2048 -subj "/CN=Vornelle Test Signer" -passout file:"$keys/pass" \
  -keyout "$keys/signer.key" -out "$keys/signer.csr"
openssl x509 -req -in "$keys/signer.csr" -CA "$keys/root.pem" -CAkey "$keys/root.key" \
  -CAcreateserial -days 2 -extfile "$keys/x509.cnf" -extensions signer \
  -out "$keys/signer.pem" >/dev/null 2>&1
cp "$keys/pass" "$keys/p12-pass"  # openssl reads two passphrases from one file line by line
openssl pkcs12 -export -inkey "$keys/signer.key" -in "$keys/signer.pem" \
  -passin file:"$keys/pass" -passout file:"$keys/p12-pass" -out "$keys/signer.p12"
export GNUPGHOME=$work/gnupg
mkdir -m 700 "$GNUPGHOME"
quiet gpg --batch --pinentry-mode loopback --passphrase-file "$keys/gpg-pass" \
  --quick-gen-key "Vornelle Test Release <release@example.invalid>" rsa2048 sign 1d
gpg_key=$(gpg --batch --with-colons --list-keys | awk -F: '/^fpr/ {print $10; exit}')
check "the throwaway keys are made" test -s "$keys/signer.pem" -a -s "$keys/signer.p12" -a -n "$gpg_key"

# Every call of the signing tools is recorded with its arguments.
for tool in osslsigncode gpg; do
  printf '#!/bin/bash\nprintf "%%s\\n" "%s $*" >> "%s"\nexec %s "$@"\n' \
    "$tool" "$work/argv.log" "$(command -v $tool)" > "$work/bin/$tool"
  chmod +x "$work/bin/$tool"
done
export PATH=$work/bin:$PATH

# --- A repository of these sources, and a later commit that builds otherwise -
repo=$work/repo
mkdir -p "$repo"
tar -C "$src" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$repo" -xf -
git_commit() {  # MESSAGE
  quiet git -C "$repo" add -A
  GIT_AUTHOR_NAME=test GIT_AUTHOR_EMAIL=test@example.invalid GIT_COMMITTER_NAME=test \
    GIT_COMMITTER_EMAIL=test@example.invalid quiet git -C "$repo" commit -q -m "$1"
}
quiet git -C "$repo" init -q
git_commit "the sources under test"
sed -i 's/"Vornelle   v 1.0"/"Vornelle   v 1.1"/' "$repo/app/main_dialog.cpp"
git_commit "a later version"

# --- make dist, signed ------------------------------------------------------
zip_name=vornelle-1.0-win32.zip
dist=$work/dist
signing=(SIGN_CERT="$keys/signer.pem" SIGN_KEY="$keys/signer.key" SIGN_PASS_FILE="$keys/pass"
         SIGN_CA="$keys/root.pem" SIGN_GPG_KEY="$gpg_key" SIGN_GPG_PASS_FILE="$keys/gpg-pass")
pack() {  # pack DIST_DIR SETTINGS...: make dist; its output in DIST_DIR.log
  local to=$1; shift
  make -C "$repo" dist BUILD="$build" DIST="$to" "$@" >"$to.log" 2>&1
}
check "make dist signs with a PEM key and certificate, and GPG" pack "$dist" "${signing[@]}"
cat "$dist.log"
zip=$dist/$zip_name
unzip -q "$zip" -d "$work/unpacked" 2>/dev/null
listed() { [ "$(cd "$work/unpacked" && ls | sort | paste -sd' ')" = "$1" ]; }
check "the zip holds the exe, README, LICENSE, SHA256SUMS and its signature" \
  listed "LICENSE README.md SHA256SUMS SHA256SUMS.asc vornelle.exe"
check "the packed exe carries a signature" \
  quiet osslsigncode extract-signature -in "$work/unpacked/vornelle.exe" -out "$work/signature"
check "the packed SHA256SUMS lists the signed exe" \
  bash -c 'cd "$0" && sha256sum -c --strict SHA256SUMS' "$work/unpacked"
quiet osslsigncode remove-signature -in "$work/unpacked/vornelle.exe" -out "$work/removed.exe"
check "removing the signature gives back the unsigned exe, byte for byte" \
  cmp "$work/removed.exe" "$build/i686/app/vornelle.exe"
check "the size budget holds for the unsigned exe, the signature adds a few KB" \
  test $(($(stat -c %s "$work/unpacked/vornelle.exe") - $(stat -c %s "$work/removed.exe"))) -lt 8192

# A PKCS#12 file, its passphrase read from a descriptor.
check "make dist signs with a PKCS#12 file, the passphrase on descriptor 3" \
  pack "$work/dist-p12" SIGN_KEY="$keys/signer.p12" SIGN_PASS_FILE=/dev/fd/3 \
  SIGN_CA="$keys/root.pem" 3<"$keys/pass"

# --- make verify-release -------------------------------------------------------
verify() {  # verify ZIP OPTIONS...: release/verify.sh; its output in $work/verify.log
  local zip=$1; shift
  (cd "$repo" && release/verify.sh --zip "$zip" "$@") >"$work/verify.log" 2>&1
}
says() { grep -q -- "$1" "$work/verify.log" || { cat "$work/verify.log"; false; }; }
verify_fails() {  # verify_fails EXPECTED ZIP OPTIONS...
  local expected=$1; shift
  ! verify "$@" && says "$expected"
}
make_verify() {  # make_verify ZIP CA COMMIT
  make -C "$repo" verify-release ZIP="$1" CA="$2" COMMIT="$3" >"$work/verify.log" 2>&1 \
    && says ": verified"
}
check "make verify-release accepts the zip against its CA and the commit it was built from" \
  make_verify "$zip" "$keys/root.pem" HEAD~1
cat "$work/verify.log"
check "the unsigned exe differs from a build of another commit" \
  verify_fails "differs from a fresh build of commit" "$zip" --commit HEAD
signature_holds() {  # signature_holds ZIP [CA]
  unzip -p "$1" vornelle.exe > "$work/checked.exe" && "$src/release/check-signature.sh" "$work/checked.exe" "${2:-}"
}
check "without a CA the signature is checked as intact" quiet signature_holds "$zip"
check "the PKCS#12-signed exe chains to the root" \
  quiet signature_holds "$work/dist-p12/$zip_name" "$keys/root.pem"

# Tampered zips: each case changes the unpacked files, repacks, and must fail
# verification with its line.
tamper_cases=(
  "code byte, SHA256SUMS not redone|flip vornelle.exe 1280|SHA256SUMS: vornelle.exe: FAILED"
  "code byte, SHA256SUMS redone|flip vornelle.exe 1280; resum|the file's digest is not the one that was signed"
  "signature byte, SHA256SUMS redone|flip vornelle.exe -100; resum|the signer's signature is not valid"
  "README changed, SHA256SUMS redone, its GPG signature kept|echo x >> README.md; resum; keep_asc|SHA256SUMS.asc: not a good signature"
  "a file packed but not in SHA256SUMS|echo x > extra.txt; keep_asc|extra.txt is packed but not listed"
)
flip() {  # flip FILE OFFSET (negative: from the end)
  local offset=$2 byte
  [ "$offset" -ge 0 ] || offset=$(($(stat -c %s "$1") + offset))
  byte=$(od -An -tu1 -j "$offset" -N1 "$1" | tr -d ' ')
  printf "\\$(printf %03o $((byte ^ 1)))" | dd of="$1" bs=1 seek="$offset" conv=notrunc 2>/dev/null
}
resum() { sha256sum vornelle.exe README.md LICENSE > SHA256SUMS; rm -f SHA256SUMS.asc; }
keep_asc() { cp "$work/unpacked/SHA256SUMS.asc" .; }
for case in "${tamper_cases[@]}"; do
  IFS='|' read -r what change expected <<<"$case"
  rm -rf "$work/tampered" "$work/tampered.zip"
  cp -r "$work/unpacked" "$work/tampered"
  (cd "$work/tampered" && eval "$change" && zip -q -X ../tampered.zip *)
  check "verification fails: $what" verify_fails "$expected" "$work/tampered.zip" --commit HEAD~1
done
check "verification fails against a stranger CA" verify_fails \
  "unable to get local issuer certificate" "$zip" --ca "$keys/stranger-root.pem" --commit HEAD~1

# --- make dist that fails: one line, no zip -------------------------------------
openssl genrsa -out "$keys/stranger.key" 2048 2>/dev/null
printf 'not the passphrase\n' > "$keys/wrong-pass"
failing_cases=(
  "a missing key file|SIGN_KEY=$keys/missing.key|SIGN_KEY: cannot read"
  "a missing certificate|SIGN_CERT=$keys/missing.pem|SIGN_CERT: cannot read"
  "a missing passphrase file|SIGN_PASS_FILE=$keys/missing-pass|SIGN_PASS_FILE: cannot read"
  "a key that is not the certificate's|SIGN_KEY=$keys/stranger.key|signing vornelle.exe failed"
  "a wrong passphrase|SIGN_PASS_FILE=$keys/wrong-pass|signing vornelle.exe failed"
  "a stranger CA|SIGN_CA=$keys/stranger-root.pem|vornelle.exe was signed but"
  "an unknown GPG key|SIGN_GPG_KEY=0123456789ABCDEF0123456789ABCDEF01234567|signing SHA256SUMS with GPG key"
  "a key without its certificate|SIGN_CERT=|SIGN_KEY is given without SIGN_CERT"
)
fails_with_one_line() {  # EXPECTED SETTING
  mkdir -p "$work/dist-failing" && echo "an earlier zip" > "$work/dist-failing/$zip_name"
  ! pack "$work/dist-failing" "${signing[@]}" "$2" || return 1
  local lines
  lines=$(grep -c '^dist: ' "$work/dist-failing.log")
  if [ "$lines" -ne 1 ] || ! grep -q "^dist: .*$1" "$work/dist-failing.log" \
     || [ -n "$(ls -A "$work/dist-failing")" ]; then
    cat "$work/dist-failing.log"; ls -A "$work/dist-failing"
    return 1
  fi
}
for case in "${failing_cases[@]}"; do
  IFS='|' read -r what setting expected <<<"$case"
  check "make dist stops with one line and no zip: $what" fails_with_one_line "$expected" "$setting"
done

# --- Passphrases stay out of argument lists and output ---------------------------
no_passphrase_in() {
  ! grep -rqF -e "$KEY_PASS" -e "$GPG_PASS" "$@"
}
check "the signing tools were run (their arguments recorded)" grep -q '^osslsigncode sign' "$work/argv.log"
check "no passphrase in the tools' arguments or in any output" \
  no_passphrase_in "$work/argv.log" "$work"/*.log

# --- The exe that the run test starts -------------------------------------------
SIGN_CERT=$keys/signer.pem SIGN_KEY=$keys/signer.key SIGN_PASS_FILE=$keys/pass \
  SIGN_CA=$keys/root.pem bash -c 'cd "$0" && release/pack.sh "$1" "$2"' \
  "$repo" "$run_exe" "$work/run/vornelle" >/dev/null 2>&1
unzip -p "$work/run/vornelle.zip" vornelle.exe > "$signed_exe" 2>/dev/null
check "this build's exe is signed for the run test" \
  quiet osslsigncode extract-signature -in "$signed_exe" -out "$work/run/signature"

checks_summary
