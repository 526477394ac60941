#!/bin/bash
# Builds the released vornelle.exe of COMMIT on a recorded toolchain: in a
# minimal Debian root of SUITE made from MIRROR (tools/debian-root), apt
# installs exactly the given PACKAGE=VERSION pairs (and git, make and Python
# at whatever version, which do not shape the exe), clones the commit from
# REPO and builds it with the commit's own release/build-product.sh. OUT_DIR
# then holds vornelle.exe and the build's BUILDINFO (the commit's own
# release/buildinfo.py, run in the root), and the file "root" the seconds the
# root took and its size in MB. Exit 0 when built; 3 when the mirror does not
# hold a recorded version, OUT_DIR/missing then naming each as "PACKAGE
# VERSION"; 1 otherwise, with the failure's last lines on standard error.
#   root-build.sh REPO COMMIT SUITE MIRROR OUT_DIR PACKAGE=VERSION...   (as root)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# The steps inside the root: its apt sources, the check that the mirror holds
# every recorded version, the install, the build.
if [ "${1:-}" = --in-root ]; then
  suite=$2 mirror=$3
  shift 3
  # The suite and its updates. A snapshot of the archive keeps its old
  # Release files, whose validity has ended; the versions are pinned and
  # their hashes still come from the signed Release file.
  printf 'deb %s %s main\ndeb %s %s-updates main\n' "$mirror" "$suite" "$mirror" "$suite" \
    > /etc/apt/sources.list
  rm -f /etc/apt/sources.list.d/*
  echo 'Acquire::Check-Valid-Until "false";' > /etc/apt/apt.conf.d/90vornelle-snapshot
  apt-get update -q >/root/apt-update.log 2>&1 || { tail -n 5 /root/apt-update.log; exit 1; }
  missing=()
  # madison lists each version the sources hold ("name | version | source");
  # a version apt-cache show cannot find still leaves it content.
  for pair in "$@"; do
    apt-cache madison -- "${pair%%=*}" | cut -d'|' -f2 | tr -d ' ' | grep -qxF -- "${pair#*=}" \
      || missing+=("${pair%%=*} ${pair#*=}")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    printf '%s\n' "${missing[@]}" > /root/out/missing
    exit 3
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    git make python3 "$@" >/root/apt-install.log 2>&1 \
    || { tail -n 5 /root/apt-install.log; exit 1; }
  git -c advice.detachedHead=false clone -q /root/vornelle.bundle /root/source || exit 1
  git -C /root/source -c advice.detachedHead=false checkout -q "$(cat /root/commit)" || exit 1
  /root/source/release/build-product.sh /root/source /root/build/i686 || exit 1
  cp /root/build/i686/app/vornelle.exe /root/out/vornelle.exe || exit 1
  python3 -I -B /root/source/release/buildinfo.py /root/build/i686 > /root/out/BUILDINFO
  exit $?
fi

# Host side, in the root's mount namespace (tools/debian-root).
if [ "${1:-}" = --steps ]; then
  repo=$2 commit=$3 suite=$4 mirror=$5 out=$6
  shift 6
  root=$VORNELLE_ROOT
  start=$(date +%s)
  # A bundle holds named commits: a branch of the commit's own, in a bare
  # clone made for it (the caller's repository is left as it is).
  { git clone -q --bare --no-tags -- "$repo" "$root/root/repo.git" \
      && git -C "$root/root/repo.git" branch -f release-commit "$commit" \
      && git -C "$root/root/repo.git" bundle create -q "$root/root/vornelle.bundle" release-commit \
      && rm -rf -- "$root/root/repo.git"; } >/dev/null 2>&1 \
    || { echo "cannot bundle commit $commit of $repo" >&2; exit 1; }
  echo "$commit" > "$root/root/commit"
  mkdir -p "$root/root/out"
  cp "$here/root-build.sh" "$root/root/root-build.sh"
  "$here/../tools/in-root" "$root" bash /root/root-build.sh --in-root "$suite" "$mirror" "$@" &
  pid=$!
  trap 'kill -TERM "$pid" 2>/dev/null; wait "$pid"; exit 143' TERM
  trap 'kill -TERM "$pid" 2>/dev/null; wait "$pid"; exit 130' INT
  wait "$pid"
  rc=$?
  for name in vornelle.exe BUILDINFO missing; do
    [ -f "$root/root/out/$name" ] && cp -- "$root/root/out/$name" "$out/$name"
  done
  printf '%d %d\n' "$(( $(date +%s) - start ))" "$(du -sxm "$root" | cut -f1)" > "$out/root"
  exit $rc
fi

[ $# -ge 6 ] || { echo "usage: root-build.sh REPO COMMIT SUITE MIRROR OUT_DIR PACKAGE=VERSION..." >&2; exit 2; }
repo=$1 commit=$2 suite=$3 mirror=$4 out=$(cd "$5" && pwd) || exit 1
shift 5
for pair in "$@"; do
  [[ $pair =~ ^[a-z0-9][a-z0-9.+-]*=[0-9A-Za-z.+~:-]+$ ]] \
    || { echo "'$pair' is not a package's name=version" >&2; exit 2; }
done
[[ $commit =~ ^[0-9a-f]{40}$ ]] || { echo "'$commit' is not a commit's hash" >&2; exit 2; }
# The root (about 1 GB) under TMPDIR when it is set, else /var/tmp.
exec "$here/../tools/debian-root" --name verify-release --work "${TMPDIR:-/var/tmp}" -- \
  "$suite" "$mirror" \
  "$here/root-build.sh" --steps "$repo" "$commit" "$suite" "$mirror" "$out" "$@"
