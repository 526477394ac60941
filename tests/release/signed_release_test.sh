#!/bin/bash
# The signed release, with throwaway keys made here (a test root CA, a
# code-signing certificate, the release's GPG key and an attacker's with the
# same user ID): `make dist` with signing settings signs and checks the exe
# and SHA256SUMS and leaves no agent holding a passphrase; `make
# verify-release` accepts the genuine zip with KEY and CA, and says what it
# did not check without them; every hostile release (hostile_release.py) and
# every hostile make variable is refused with one line, and no command that it
# carries runs; UnZip, 7-Zip, bsdtar and Python's zipfile take out of every
# zip the check accepts exactly the files it verified (a missing one skips
# that check); a signature file that is not one signature packet is refused
# before gpgv runs; a tool that runs past its limit or cap is ended, one that
# is missing is named; the GnuPG home is never written; a wrong key or a
# missing file stops `make dist` with one line
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
source "$src/tools/lib/processes.sh"
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

# Every call of the signing tools and of gpgv is recorded with its arguments.
for tool in osslsigncode gpg gpgv; do
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
  sed -i 's/"Made by the Vornelle developers"/"Made later by the Vornelle developers"/' \
    "$repo/app/main_dialog.cpp"
  git_commit "a later version"
}

# --- make dist, signed ------------------------------------------------------
zip_name=$(python3 -I -B "$src/release/version.py" --zip-name)
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
  (cd "$work/tampered" && eval "$change") \
    && python3 -I -B "$src/release/release_zip.py" pack "$work/tampered" "$work/tampered.zip"
  check "verification fails: $what" verify_fails "$expected" "$work/tampered.zip" \
    --commit HEAD~1 "${named[@]}"
done

# Hostile releases: each made from the genuine one by hostile_release.py, each
# refused with its line before anything in it is used. They are kept, for the
# extractors' check below.
hostile_cases=(
  "a digest algorithm the signature does not cover, carrying a command|digest-algorithm-injection||lists 2 digest algorithms"
  "a folder whose name starts with a dot|dot-folder||entry .hidden/run \`touch $marker\`.txt: not a file a release holds"
  "a file whose name starts with a dot|dot-file||entry .README-FIRST.txt: not a file a release holds"
  "a name that reads as grep's -e option|option-e||entry -eREADME.md: not a file a release holds"
  "a name that reads as an option|option-help||entry --help: not a file a release holds"
  "the attacker's key with the release key's user ID|attacker-key|key|SHA256SUMS.asc: not a good signature of SHA256SUMS by key $gpg_key"
  "a changed README, signature removed, KEY named|changed-readme|key|SHA256SUMS.asc: missing"
  "a changed README, signature removed, CA named|changed-readme|ca|README.md: differs from commit $built"
  "a planted library listed in redone checksums|planted-library|ca|entry uxtheme.dll: not a file a release holds"
  "a second vornelle.exe after the genuine one|second-exe||entry vornelle.exe: listed twice"
  "vornelle.exe as a link to /dev/zero|linked-exe||entry vornelle.exe: directory record, external attributes"
  "an entry past the size limit|oversized||entry README.md: larger than the limit"
  "a local header that names another file|local-header-disagrees||entry README.mD: not a file a release holds"
  "bytes added inside the certificate table|padded-certificate-table|ca|certificate table holds 8 bytes more than the signature"
  "a second directory behind a zip64 end record in the last entry's comment|hidden-directory|key|entry SHA256SUMS.asc: directory record, comment length"
  "an extra field that renames README.md to vornelle.exe|renamed-readme||entry README.md: local header, extra field length"
  "LICENSE a symbolic link made by another system than Unix|foreign-link||entry LICENSE: directory record, made by"
  "vornelle.exe setuid, world-writable, owned by another user|setuid-exe||entry vornelle.exe: local header, extra field length"
  "the genuine files packed by another tool|deflated||entry vornelle.exe: local header, version needed"
  "SHA256SUMS's lines in another order|reordered-sums||SHA256SUMS: line 1 is not what sha256sum writes for vornelle.exe"
  "BUILDINFO with Windows line ends|buildinfo-line-ends||BUILDINFO: line 1 is not a line the packing writes"
  "a megabyte object identifier in the signature|megabyte-oid||the signature is larger than the 65536 bytes"
  "a long object identifier in a time stamp attribute|long-oid-in-time-stamp||an object identifier of 200 bytes"
  "a time stamp attribute nested 40 deep|deep-time-stamp||nested deeper than 24"
  "a length in a longer form than it needs|long-form-length-in-time-stamp||a length that is not in its shortest form"
  "an unsigned time stamp attribute|time-stamp-attribute||carries unsigned attributes"
)
mkdir -p "$work/corpus"
for case in "${hostile_cases[@]}"; do
  IFS='|' read -r what name options expected <<<"$case"
  rm -f "$work/hostile.zip"
  python3 "$src/tests/release/hostile_release.py" "$name" "$zip" "$work/hostile.zip" "$marker" \
    "$GNUPGHOME" "$attacker_key"
  named_options "$options"
  check "refused, one line, nothing run: $what" \
    verify_fails "$expected" "$work/hostile.zip" --commit HEAD~1 "${named[@]}"
  mv "$work/hostile.zip" "$work/corpus/$name.zip"
done

# Whatever zip the check accepts (the genuine ones and any hostile one that
# gets past the zip's own check), every extractor takes out of it exactly the
# files the check verified, as plain files.
rm -rf "$work/extracted" && mkdir -p "$work/extracted"
python3 -I -B "$src/tests/release/extractors_agree.py" "$src/release" "$work/extracted" \
  "$zip" "$work/dist-p12/$zip_name" "$work/dist-no-agent/$zip_name" "$work"/corpus/*.zip \
  > "$work/extractors.log" 2>&1
agreed=$?
cat "$work/extractors.log"
if [ $agreed -eq 77 ]; then
  echo "skip - every extractor gives what the check verified: $(tail -n 1 "$work/extractors.log")"
else
  check "every extractor gives exactly what the check verified, from every zip it accepts" \
    test $agreed -eq 0
fi

# SHA256SUMS.asc is one armored signature packet as gpg writes it: anything
# else is refused before gpgv reads it.
signature_cases=(
  "one compressed packet holding the genuine signature 10,000 times|signature-bomb|SHA256SUMS.asc: .* bytes, more than a signature's"
  "the genuine signature in a compressed packet|signature-compressed|SHA256SUMS.asc: a compressed packet, not a signature packet"
  "the genuine signature twice|signature-twice|SHA256SUMS.asc: holds more than one signature packet"
  "a marker packet before the genuine signature|signature-after-marker|SHA256SUMS.asc: a marker packet, not a signature packet"
  "text after the genuine signature's armor|signature-text-after|SHA256SUMS.asc: not the armor of one detached signature"
)
gpgv_runs() { grep -c '^gpgv ' "$work/argv.log"; }
refused_before_gpgv() {  # EXPECTED
  local runs
  runs=$(gpgv_runs)
  verify_fails "$1" "$work/hostile.zip" --commit HEAD~1 --key "$gpg_key" \
    && { [ "$(gpgv_runs)" = "$runs" ] || { echo "gpgv ran"; false; }; }
}
for case in "${signature_cases[@]}"; do
  IFS='|' read -r what name expected <<<"$case"
  rm -f "$work/hostile.zip"
  python3 "$src/tests/release/hostile_release.py" "$name" "$zip" "$work/hostile.zip" "$marker"
  check "refused before gpgv runs, in one line: $what" refused_before_gpgv "$expected"
done

# The outside tools run within bounds: one that runs past its time limit or
# its cap on output is ended, with what it started, and one that is missing
# is named with its package. A short limit stands in for the real one.
fake=$work/fake-bin
mkdir -p "$fake"
tool_cases=(
  "a gpgv that never ends|sleep 300 & echo \$! > $work/fake-child; sleep 300|gpgv ran past its limit of 3 s and was ended"
  "a gpgv that prints without end|yes|gpgv printed more than its cap of"
)
fake_child_ended() {  # (a zombie has ended: this machine's init may reap it late)
  [ -s "$work/fake-child" ] && wait_until 5 ended "$(cat "$work/fake-child")"
}
verify_with_fake() {  # EXPECTED
  (cd "$repo" && PATH=$fake:$PATH VORNELLE_TOOL_SECONDS=3 timeout --foreground 120 \
     release/verify.py --zip "$zip" --commit HEAD~1 --key "$gpg_key") >"$log" 2>&1
}
rm -f "$work/fake-child"
for case in "${tool_cases[@]}"; do
  IFS='|' read -r what body expected <<<"$case"
  printf '#!/bin/bash\n%s\n' "$body" > "$fake/gpgv"
  chmod +x "$fake/gpgv"
  check "refused in one line: $what" refused "$expected" verify_with_fake
done
check "... and what the gpgv that never ends started is ended with it" fake_child_ended
# A PATH with every program of this one but gpgv.
without=$work/without-gpgv
mkdir -p "$without"
IFS=: read -ra path_folders <<<"$PATH"
for folder in "${path_folders[@]}"; do
  for program in "$folder"/*; do
    name=${program##*/}
    [ "$name" = gpgv ] || [ -e "$without/$name" ] || ln -s "$program" "$without/$name"
  done
done
check "a machine without gpgv names it as missing, with its package" \
  refused "gpgv is not installed (Debian package gpgv)" \
  eval '(cd "$repo" && PATH=$without release/verify.py --zip "$zip" --commit HEAD~1 \
         --key "$gpg_key") >"$log" 2>&1'

# The check reads the GnuPG home that holds KEY, and never writes there: an
# empty keyring folder of the caller's stays as it was, and one of another
# user's is refused in one line (as root, with a throwaway user).
snapshot() {  # FOLDER: every entry with its owner, mode, size and time
  find "$1" -printf '%p %u %m %s %T@ %y\n' | sort
}
verify_with_home() {  # HOME
  (cd "$repo" && GNUPGHOME=$1 release/verify.py --zip "$zip" --commit HEAD~1 \
     --key "$gpg_key") >"$log" 2>&1
}
empty_home=$(mktemp -d /tmp/vornelle-gpg-empty.XXXXXX)
before=$(snapshot "$empty_home")
check "an empty keyring folder of the caller's holds no KEY" \
  refused "KEY $gpg_key: not in your keyring" verify_with_home "$empty_home"
check "... and is left as it was" [ "$(snapshot "$empty_home")" = "$before" ]
rm -rf -- "$empty_home"
if [ "$(id -u)" = 0 ] && command -v useradd >/dev/null; then
  other=vornelle-g$$
  their_home=$(mktemp -d /tmp/vornelle-gpg-other.XXXXXX)
  trap 'end_agents; rm -rf -- "$GNUPGHOME" "$markers" "$their_home"; userdel "$other" 2>/dev/null' EXIT
  useradd --no-create-home --shell /usr/sbin/nologin "$other"
  chown "$other" "$their_home"
  before=$(snapshot "$their_home")
  check "another user's keyring folder is refused in one line" \
    refused "GNUPGHOME: $their_home belongs to user $other, not to you" \
    verify_with_home "$their_home"
  check "... and left as it was" [ "$(snapshot "$their_home")" = "$before" ]
  rm -rf -- "$their_home"
  userdel "$other"
else
  echo "(skipped: another user's keyring folder needs root and useradd)"
fi

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
  "REBUILD|REBUILD=\$(shell touch $marker)|REBUILD .* is not auto, root or no"
  "REBUILD_MIRROR|REBUILD_MIRROR=\`touch $marker\`|REBUILD_MIRROR .* is not a mirror's http, https or file URL"
  "REBUILD_MIRROR as an option|REBUILD_MIRROR=--output=$marker|REBUILD_MIRROR .* is not a mirror's"
)
for case in "${variable_cases[@]}"; do
  IFS='|' read -r what setting expected <<<"$case"
  check "make verify-release refuses a hostile $what in one line, and nothing runs" \
    refused "$expected" make_verify ZIP="$zip" "$setting"
done

# An exe that differs from the build on the recorded tools (this machine's) is
# refused, and the check says the tools were the recorded ones. (Recorded
# tools other than this machine's send the build to a root of their Debian
# release, release.rebuild_choice and release.root_rebuild.)
rm -rf "$work/versions" && mkdir -p "$work/versions"
(cd "$work/unpacked" && cp vornelle.exe README.md LICENSE BUILDINFO "$work/versions/")
(cd "$work/versions" \
   && python3 -I -B "$src/release/authenticode.py" strip vornelle.exe unsigned.exe \
   && mv unsigned.exe vornelle.exe && flip vornelle.exe 1280 && resum) \
  && python3 -I -B "$src/release/release_zip.py" pack "$work/versions" "$work/versions.zip"
check "an exe that differs from the build on the recorded tools is refused, naming them as this machine's" \
  verify_fails "differs from a fresh build of commit $built: the recorded versions and flags are this machine's" \
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
  "a time-stamp server, whose stamp the check would refuse|SIGN_TIMESTAMP_URL=http://timestamp.example.invalid/|SIGN_TIMESTAMP_URL: a release's signature carries no time stamp"
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
# A signing tool that never ends is ended at its (here shortened) limit.
slow=$work/slow-bin
mkdir -p "$slow"
printf '#!/bin/bash\nsleep 60\n' > "$slow/osslsigncode"
chmod +x "$slow/osslsigncode"
check "make dist stops with one line and no zip: an osslsigncode that never ends" \
  eval 'PATH=$slow:$PATH VORNELLE_TOOL_SECONDS=20 \
          fails_with_one_line "osslsigncode ran past its limit of 20 s" SIGN_TIMESTAMP_URL='

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
