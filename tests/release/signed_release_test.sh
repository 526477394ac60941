#!/bin/bash
# The signed release, with throwaway keys made here (a test root CA, a
# code-signing certificate, the release's GPG key and an attacker's with the
# same user ID): `make dist` with signing settings signs and checks the exe
# and SHA256SUMS and leaves no agent holding a passphrase; `make
# verify-release` accepts the genuine zip with KEY and CA, and says what it
# did not check without them; every hostile release (hostile_release.py) and
# every hostile make variable is refused with one line, and no command that it
# carries runs; a wrong key or a missing file stops `make dist` with one line
# and no zip; no passphrase reaches an argument list or the output. Prints
# "N passed, N failed". It also leaves RUN_EXE signed at SIGNED_EXE, for the
# test that runs it. Every agent it starts ends with it.
#   signed_release_test.sh SOURCE_DIR WORK_DIR RUN_EXE SIGNED_EXE
set -uo pipefail
src=$(cd "$1" && pwd)
work=$2
run_exe=$(realpath "$3")
signed_exe=$(realpath -m "$4")
source "$src/tests/support/checks.sh"
source "$src/tools/lib/wait.sh"
fresh_work_folder "$work"
rm -f -- "$signed_exe"
mkdir -p "$work/keys" "$work/bin" "$(dirname "$signed_exe")"
work=$(cd "$work" && pwd)
keys=$work/keys
quiet() { "$@" >/dev/null 2>&1; }

# GnuPG keeps its agent's socket in its home folder when there is no
# /run/user (root's case), and a socket's path is at most 107 bytes: the home
# is a short private folder, whatever the build folder's path. The marker that
# a hostile command would write lies in one too (a path without spaces, which
# such a command would split).
export GNUPGHOME
GNUPGHOME=$(mktemp -d /tmp/vornelle-gpg.XXXXXX)
markers=$(mktemp -d /tmp/vornelle-marker.XXXXXX)
marker=$markers/ran
agent_pid() { gpg-connect-agent --no-autostart 'GETINFO pid' /bye 2>/dev/null | sed -n 's/^D //p'; }
no_agent() { [ -z "$(agent_pid)" ]; }
end_agents() {  # and wait until the agent no longer answers
  gpgconf --kill all >/dev/null 2>&1
  wait_until 5 no_agent
}
trap 'end_agents; rm -rf -- "$GNUPGHOME" "$markers"' EXIT

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
release_uid="Vornelle Test Release <release@example.invalid>"
fingerprint_of() {  # UID-or-key: the primary key's fingerprint, newest first
  gpg --batch --with-colons --list-keys -- "$1" | awk -F: '/^fpr/ {print $10}' | tail -n 1
}
quiet gpg --batch --pinentry-mode loopback --passphrase-file "$keys/gpg-pass" \
  --quick-gen-key "$release_uid" rsa2048 sign 1d
gpg_key=$(fingerprint_of "$release_uid")
# The attacker's key carries the release key's user ID, word for word.
quiet gpg --batch --yes --pinentry-mode loopback --passphrase '' \
  --quick-gen-key "$release_uid" rsa2048 sign 1d
attacker_key=$(gpg --batch --with-colons --list-keys -- "$release_uid" \
  | awk -F: -v k="$gpg_key" '/^fpr/ && $10 != k {print $10; exit}')
check "the throwaway keys are made" eval '[ -s "$keys/signer.pem" ] && [ -s "$keys/signer.p12" ] \
  && [ -n "$gpg_key" ] && [ -n "$attacker_key" ]'

# Every call of the signing tools is recorded with its arguments.
for tool in osslsigncode gpg; do
  printf '#!/bin/bash\nprintf "%%s\\n" "%s $*" >> "%s"\nexec %s "$@"\n' \
    "$tool" "$work/argv.log" "$(command -v $tool)" > "$work/bin/$tool"
  chmod +x "$work/bin/$tool"
done
export PATH=$work/bin:$PATH

# --- A repository of these sources; a later commit builds otherwise ----------
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
built=$(git -C "$repo" rev-parse HEAD)
later_commit() {
  sed -i 's/"Vornelle   v 1.0"/"Vornelle   v 1.1"/' "$repo/app/main_dialog.cpp"
  git_commit "a later version"
}

# --- make dist, signed ------------------------------------------------------
zip_name=vornelle-1.0-win32.zip
dist=$work/dist
signing=(SIGN_CERT="$keys/signer.pem" SIGN_KEY="$keys/signer.key" SIGN_PASS_FILE="$keys/pass"
         SIGN_CA="$keys/root.pem" SIGN_GPG_KEY="$gpg_key" SIGN_GPG_PASS_FILE="$keys/gpg-pass")
build=$work/build  # the repository's own, so that BUILDINFO names its commit
pack() {  # pack DIST_DIR SETTINGS...: make dist; its output in DIST_DIR.log
  local to=$1; shift
  make -C "$repo" dist BUILD="$build" DIST="$to" "$@" >"$to.log" 2>&1
}
pack_in_private_tmp() { TMPDIR="$work/tmp" pack "$@"; }
# The agent that made the keys runs; make dist leaves it, without the passphrase.
agent_before=$(agent_pid)
passphrase_cached() {
  gpg-connect-agent --no-autostart 'KEYINFO --list' /bye 2>/dev/null \
    | awk '$1 == "S" && $7 == "1" {found = 1} END {exit !found}'
}
mkdir -p "$work/tmp"
check "make dist signs with a PEM key and certificate, and GPG" \
  pack_in_private_tmp "$dist" "${signing[@]}"
cat "$dist.log"
check "the running agent goes on, and no longer holds the GPG key's passphrase" \
  eval '[ -n "$agent_before" ] && [ "$(agent_pid)" = "$agent_before" ] && ! passphrase_cached'
check "no file is left in the temporary folder" test -z "$(ls -A "$work/tmp")"
end_agents
check "make dist stops the agent that GPG started for it" \
  eval 'pack "$work/dist-no-agent" SIGN_GPG_KEY="$gpg_key" SIGN_GPG_PASS_FILE="$keys/gpg-pass" && no_agent'
zip=$dist/$zip_name
unzip -q "$zip" -d "$work/unpacked" 2>/dev/null
listed() { [ "$(cd "$work/unpacked" && ls | sort | paste -sd' ')" = "$1" ]; }
check "the zip holds the exe, README, LICENSE, BUILDINFO, SHA256SUMS and its signature" \
  listed "BUILDINFO LICENSE README.md SHA256SUMS SHA256SUMS.asc vornelle.exe"
check "BUILDINFO records the commit and the compiler's package version" \
  eval 'grep -qx "commit: $built" "$work/unpacked/BUILDINFO" \
        && grep -q "^package g++-mingw-w64-i686-posix: [0-9]" "$work/unpacked/BUILDINFO"'
check "the packed exe carries a signature" \
  quiet osslsigncode extract-signature -in "$work/unpacked/vornelle.exe" -out "$work/signature"
check "the packed SHA256SUMS lists the signed exe and BUILDINFO" \
  bash -c 'cd "$0" && sha256sum -c --strict SHA256SUMS && grep -q " BUILDINFO$" SHA256SUMS' \
  "$work/unpacked"
quiet osslsigncode remove-signature -in "$work/unpacked/vornelle.exe" -out "$work/removed.exe"
check "removing the signature gives back the unsigned exe, byte for byte" \
  cmp "$work/removed.exe" "$build/i686/app/vornelle.exe"
check "the size budget holds for the unsigned exe, the signature adds a few KB" \
  test $(($(stat -c %s "$work/unpacked/vornelle.exe") - $(stat -c %s "$work/removed.exe"))) -lt 8192

# A PKCS#12 file, its passphrase read from a descriptor.
check "make dist signs with a PKCS#12 file, the passphrase on descriptor 3" \
  pack "$work/dist-p12" SIGN_KEY="$keys/signer.p12" SIGN_PASS_FILE=/dev/fd/3 \
  SIGN_CA="$keys/root.pem" 3<"$keys/pass"

# --- make verify-release ----------------------------------------------------
later_commit
log=$work/verify.log
verify() {  # verify ZIP OPTIONS...: release/verify.py; its output in $log
  local zip=$1; shift
  (cd "$repo" && release/verify.py --zip "$zip" "$@") >"$log" 2>&1
}
says() { grep -q -- "$1" "$log" || { cat "$log"; false; }; }
# A refusal: non-zero, one FAILED line that names EXPECTED, and no command ran.
refused() {  # refused EXPECTED COMMAND...
  local expected=$1; shift
  rm -f "$marker"
  if "$@"; then cat "$log"; echo "(accepted)"; return 1; fi
  [ "$(grep -c 'FAILED' "$log")" -eq 1 ] && says "FAILED: .*$expected" \
    && { [ ! -e "$marker" ] || { echo "a command from the release ran"; false; }; }
}
verify_fails() {  # verify_fails EXPECTED ZIP OPTIONS...
  local expected=$1; shift
  refused "$expected" verify "$@"
}
make_verify() {  # make_verify VARIABLES...: make verify-release; its output in $log
  make -C "$repo" verify-release "$@" >"$log" 2>&1
}
last_line() { grep -v '^make' "$log" | tail -n 1; }
check "make verify-release accepts the genuine zip with KEY and CA and says so last" \
  eval 'make_verify ZIP="$zip" CA="$keys/root.pem" COMMIT=HEAD~1 KEY="$gpg_key" \
        && last_line | grep -q ": verified: built from commit ${built:0:12}; checksums signed by key $gpg_key; exe signature chains to root.pem$"'
cat "$log"
check "without KEY and CA it says what was not checked, and what verified covered" \
  eval 'verify "$zip" --commit HEAD~1 && says "SHA256SUMS.asc: NOT CHECKED: no KEY named" \
        && last_line | grep -q "checksums'"'"' signer not checked (no KEY); exe signature intact; signer not checked (no CA)$"'
# A machine without gpgv (Debian 13's gnupg does not bring it): the programs
# on PATH but gpgv, earlier folders' first.
mkdir -p "$work/no-gpgv"
IFS=: read -r -a folders <<<"$PATH"
for (( i=${#folders[@]}-1; i>=0; i-- )); do
  [ -d "${folders[$i]}" ] && ln -sf -- "${folders[$i]}"/* "$work/no-gpgv/" 2>/dev/null
done
rm -f -- "$work/no-gpgv/gpgv"
without_gpgv() { PATH=$work/no-gpgv verify_fails "$@"; }
check "without gpgv the signature is not called bad: gpgv is named as missing" \
  without_gpgv "SHA256SUMS.asc: cannot be checked: gpgv is not installed" "$zip" \
  --commit HEAD~1 --key "$gpg_key"
check "a release made from another commit fails against this one" \
  verify_fails "BUILDINFO: records commit $built, not the commit checked" "$zip" --commit HEAD
signature_holds() {  # signature_holds ZIP [CA]
  unzip -p "$1" vornelle.exe > "$work/checked.exe" \
    && python3 -I -B "$src/release/authenticode.py" check "$work/checked.exe" ${2:+"$2"}
}
check "without a CA the signature is checked as intact" quiet signature_holds "$zip"
check "the PKCS#12-signed exe chains to the root" \
  quiet signature_holds "$work/dist-p12/$zip_name" "$keys/root.pem"
check "verification fails against a stranger CA" verify_fails \
  "unable to get local issuer certificate" "$zip" --ca "$keys/stranger-root.pem" --commit HEAD~1

# Tampered zips: each case changes the unpacked files, repacks, and must fail
# verification with its line.
tamper_cases=(
  "code byte, SHA256SUMS not redone|flip vornelle.exe 1280||SHA256SUMS: vornelle.exe: FAILED"
  "code byte, SHA256SUMS redone|flip vornelle.exe 1280; resum||the file's digest is not the one that was signed"
  "signature byte, SHA256SUMS redone|flip vornelle.exe -100; resum||the signer's signature is not valid"
  "README changed, SHA256SUMS redone, its GPG signature kept|echo x >> README.md; resum; keep_asc|key|SHA256SUMS.asc: not a good signature"
)
flip() {  # flip FILE OFFSET (negative: from the end)
  local offset=$2 byte
  [ "$offset" -ge 0 ] || offset=$(($(stat -c %s "$1") + offset))
  byte=$(od -An -tu1 -j "$offset" -N1 "$1" | tr -d ' ')
  printf "\\$(printf %03o $((byte ^ 1)))" | dd of="$1" bs=1 seek="$offset" conv=notrunc 2>/dev/null
}
resum() { sha256sum vornelle.exe README.md LICENSE BUILDINFO > SHA256SUMS; rm -f SHA256SUMS.asc; }
keep_asc() { cp "$work/unpacked/SHA256SUMS.asc" .; }
named_options() {  # key|ca|"": the verify options a case names, in named
  case $1 in
    key) named=(--key "$gpg_key") ;;
    ca) named=(--ca "$keys/root.pem") ;;
    *) named=() ;;
  esac
}
for case in "${tamper_cases[@]}"; do
  IFS='|' read -r what change options expected <<<"$case"
  named_options "$options"
  rm -rf "$work/tampered" "$work/tampered.zip"
  cp -r "$work/unpacked" "$work/tampered"
  (cd "$work/tampered" && eval "$change" && zip -q -X ../tampered.zip *)
  check "verification fails: $what" verify_fails "$expected" "$work/tampered.zip" \
    --commit HEAD~1 "${named[@]}"
done

# Hostile releases: each made from the genuine one by hostile_release.py, each
# refused with its line before anything in it is used.
hostile_cases=(
  "a digest algorithm the signature does not cover, carrying a command|digest-algorithm-injection||lists 2 digest algorithms"
  "a folder whose name starts with a dot|dot-folder||entry .hidden/run \`touch $marker\`.txt: a folder"
  "a file whose name starts with a dot|dot-file||entry .README-FIRST.txt: not a file a release holds"
  "a name that reads as grep's -e option|option-e||entry -eREADME.md: not a file a release holds"
  "a name that reads as an option|option-help||entry --help: not a file a release holds"
  "the attacker's key with the release key's user ID|attacker-key|key|SHA256SUMS.asc: not a good signature of SHA256SUMS by key $gpg_key"
  "a changed README, signature removed, KEY named|changed-readme|key|SHA256SUMS.asc: missing"
  "a changed README, signature removed, CA named|changed-readme|ca|README.md: differs from commit $built"
  "a planted library listed in redone checksums|planted-library|ca|entry uxtheme.dll: not a file a release holds"
  "a second vornelle.exe after the genuine one|second-exe||entry vornelle.exe: listed twice"
  "vornelle.exe as a link to /dev/zero|linked-exe||entry vornelle.exe: a symbolic link"
  "an entry past the size limit|oversized||entry README.md: larger than the limit"
  "a local header that names another file|local-header-disagrees||entry README.md: its local header disagrees"
  "bytes added inside the certificate table|padded-certificate-table|ca|certificate table holds 8 bytes more than the signature"
)
for case in "${hostile_cases[@]}"; do
  IFS='|' read -r what name options expected <<<"$case"
  rm -f "$work/hostile.zip"
  python3 "$src/tests/release/hostile_release.py" "$name" "$zip" "$work/hostile.zip" "$marker" \
    "$GNUPGHOME" "$attacker_key"
  named_options "$options"
  check "refused, one line, nothing run: $what" \
    verify_fails "$expected" "$work/hostile.zip" --commit HEAD~1 "${named[@]}"
done

# Make variables from outside are data: a zip name, a CA, a commit or a key
# that holds shell or make syntax is checked or refused, and nothing runs.
# (A file name holds no '/': its commands would write ran-marker in the
# folder make runs in, the repository.)
odd=$work/odd
mkdir -p "$odd"
odd_zip="$odd/x\`touch ran-marker\`\$(shell touch ran-marker)\$(touch ran-marker);.zip"
cp "$zip" "$odd_zip"
check "a zip whose name holds shell and make syntax is checked, and nothing runs" \
  eval 'make_verify ZIP="$odd_zip" KEY="$gpg_key" CA="$keys/root.pem" COMMIT=HEAD~1 \
        && says ": verified: " && [ ! -e "$repo/ran-marker" ]'
variable_cases=(
  "CA|CA=\$(shell touch $marker)|cannot read the CA file"
  "COMMIT|COMMIT=\$(touch $marker)|COMMIT .* is not a commit's name"
  "COMMIT as an option|COMMIT=--output=$marker|COMMIT .* is not a commit's name"
  "KEY|KEY=\`touch $marker\`|KEY .* is not a key's whole fingerprint"
)
for case in "${variable_cases[@]}"; do
  IFS='|' read -r what setting expected <<<"$case"
  check "make verify-release refuses a hostile $what in one line, and nothing runs" \
    refused "$expected" make_verify ZIP="$zip" "$setting"
done

# A build that differs names the recorded tool versions that differ from this
# machine's.
rm -rf "$work/versions" && mkdir -p "$work/versions"
(cd "$work/unpacked" && cp vornelle.exe README.md LICENSE BUILDINFO "$work/versions/")
(cd "$work/versions" \
   && python3 -I -B "$src/release/authenticode.py" strip vornelle.exe unsigned.exe \
   && mv unsigned.exe vornelle.exe && flip vornelle.exe 1280 \
   && sed -i 's/^package cmake: .*/package cmake: 0.0-recorded/' BUILDINFO && resum \
   && zip -q -X ../versions.zip vornelle.exe README.md LICENSE BUILDINFO SHA256SUMS)
check "a differing build names the recorded versions that differ from this machine's" \
  verify_fails "differs from a fresh build of commit $built: cmake 0.0-recorded recorded, $(dpkg-query -W -f='${Version}' cmake) here" \
  "$work/versions.zip" --commit HEAD~1

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
  "$repo" "$run_exe" "$work/run" >/dev/null 2>&1
unzip -p "$work/run/$zip_name" vornelle.exe > "$signed_exe" 2>/dev/null
check "this build's exe is signed for the run test" \
  quiet osslsigncode extract-signature -in "$signed_exe" -out "$work/run/signature"

checks_summary
