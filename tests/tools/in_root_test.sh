#!/bin/bash
# tools/in-root and tools/isolation-check, as `make fresh-check` uses them, on a
# small root made here from the host's own programs (/usr, read-only):
# inside, only the root's own processes are seen, /proc/1/root is the root
# and nothing started there outlives the command; the same root entered with
# a plain chroot and the host's /proc, or with /sys writable, fails the
# check. Needs root and namespaces whose mounts are private (a plain chroot,
# whose root is not a mount point, has none); exit 77, skipped, otherwise.
# Prints "N passed, N failed".
#   in_root_test.sh SOURCE_DIR WORK_PARENT
set -uo pipefail
src=$(cd "$1" && pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: making namespaces and mounts needs root"
  exit 77
fi
if ! why=$(unshare --mount --propagation private --pid --fork --uts --ipc -- true 2>&1); then
  echo "skipped: no namespaces of its own with private mounts here (${why:-unshare failed}); a plain chroot, whose root is not a mount point, has none"
  exit 77
fi

# Outside: a folder of its own, a mount namespace of its own for the test,
# and the folder removed only when nothing is mounted in it any more.
if [ "${3:-}" != --inside ]; then
  mkdir -p -- "$2" || exit 1
  work=$(mktemp -d "$(cd "$2" && pwd)/in-root.XXXXXX") || exit 1
  unshare --mount --propagation private -- "$0" "$src" "$work" --inside
  rc=$?
  if grep -qF " $work/" /proc/self/mountinfo; then
    echo "in_root_test: still mounted under $work; left in place" >&2
    exit 1
  fi
  rm -rf -- "$work"
  exit $rc
fi
work=$2
source "$src/tests/support/checks.sh"
source "$src/tools/lib/wait.sh"
quiet() { "$@" >/dev/null 2>&1; }

# A root with the host's programs (read-only), its own /proc, /sys and /tmp
# folders and the check itself.
r=$work/root
mkdir -p "$r/usr" "$r/proc" "$r/sys" "$r/tmp" "$r/dev" "$r/check"
for d in bin sbin lib lib32 lib64 libx32; do
  if [ -L "/$d" ]; then ln -s "$(readlink "/$d")" "$r/$d"
  elif [ -d "/$d" ]; then mkdir "$r/$d" && mount --bind -o ro "/$d" "$r/$d"
  fi
done
mount --bind -o ro /usr "$r/usr" || exit 1
touch "$r/dev/null" && mount --bind /dev/null "$r/dev/null" || exit 1
cp "$src/tools/isolation-check" "$r/check/"
mount -t sysfs -o ro,nosuid,nodev,noexec sys "$r/sys" || exit 1

out=$("$src/tools/in-root" "$r" bash /check/isolation-check 2>&1)
check "inside, only the root's own processes are seen and /proc/1/root is the root" \
  [ $? -eq 0 ]
[ -n "$out" ] && echo "  $out"

# What the command leaves running ends with it, when it ends normally and
# when the host side is ended.
lives_in_root() {  # lists the processes whose root is the root
  local dir
  for dir in /proc/[0-9]*; do
    [ "$dir/root/" -ef "$r/" ] && echo "${dir#/proc/}"
  done 2>/dev/null
}
"$src/tools/in-root" "$r" bash -c 'sleep 300 </dev/null >/dev/null 2>&1 & exit 0'
check "a process left running by the command ends with it" [ -z "$(lives_in_root)" ]
"$src/tools/in-root" "$r" bash -c 'sleep 300 </dev/null >/dev/null 2>&1 & sleep 300' &
host_side=$!
something_lives_in_root() { [ -n "$(lives_in_root)" ]; }
nothing_lives_in_root() { [ -z "$(lives_in_root)" ]; }
wait_until 5 something_lives_in_root
kill -TERM "$host_side"; wait "$host_side"
wait_until 5 nothing_lives_in_root
check "... and everything inside ends when the host side is ended" [ -z "$(lives_in_root)" ]

# The same root without namespaces: the host's /proc, a writable /sys.
mount -t proc proc "$r/proc" || exit 1
out=$(env VORNELLE_OUTSIDE=1 bash -c 'env -u VORNELLE_OUTSIDE chroot "$1" bash /check/isolation-check; exit $?' _ "$r" 2>&1)
rc=$?
umount "$r/proc"
check "a plain chroot with the host's /proc fails the check" [ $rc -ne 0 ]
check "... naming the host's processes it sees" grep -q "the host's process" <<<"$out"
check "... and /proc/1/root" grep -q "/proc/1/root is not this root" <<<"$out"
umount "$r/sys" && mount -t sysfs sys "$r/sys"
out=$("$src/tools/in-root" "$r" bash /check/isolation-check 2>&1)
check "a writable /sys fails the check" [ $? -ne 0 ]
check "... and is named" grep -q "/sys is mounted writable" <<<"$out"
umount "$r/sys"

checks_summary
