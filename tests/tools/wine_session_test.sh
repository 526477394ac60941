#!/bin/bash
# tools/wine-session from outside, in sessions of its own on prefixes made here
# (nested in the session that runs the tests): a folder that is not a prefix
# the project made (no mark, or a mark not as the project writes it) is left
# untouched and named; a session stopped by Ctrl+C
# while it makes its prefix, or by Ctrl+C or TERM while its command runs,
# leaves no process running, and the next session makes the half-made prefix
# again but reuses a whole one; its display lets in only clients with its
# cookie, kept in a private file; and what a command leaves running ends with
# the session and is named. Prints "N passed, N failed".
#   wine_session_test.sh SOURCE_DIR WORK_PARENT [KEEPALIVE_EXE]
set -uo pipefail
src=$(cd "$1" && pwd)
mkdir -p -- "$2" || exit 1
work=$(mktemp -d "$(cd "$2" && pwd)/wine-session.XXXXXX") || exit 1
keepalive=${3:-}
source "$src/tests/support/checks.sh"
source "$src/tools/lib/processes.sh"

# Everything the sessions here start carries this mark.
mark=$(new_mark wine-session-test)
finish() {
  "$src/tools/leftovers" --end "$mark" >/dev/null
  rm -rf -- "$work"
}
trap finish EXIT
# The architecture of the session around the test (the keepalive's), else
# x86_64 where it runs.
arch=${VORNELLE_ARCH:-x86_64}
[ -n "${VORNELLE_ARCH:-}" ] || "$src/tools/can-run" x86_64 >/dev/null || arch=i686

# session PREFIX COMMAND...: a session on PREFIX in the background, in a
# process group of its own (as a terminal would start it, so that Ctrl+C can
# be sent to the group); its id is $!, its error output $work/session.err.
session() {
  local prefix=$1
  shift
  start_child env -u VORNELLE_WINDOWS -u VORNELLE_SESSION_PREFIX VORNELLE_ARCH=$arch \
    WINEPREFIX="$prefix" VORNELLE_MARKS="${VORNELLE_MARKS:-:}$mark:" \
    setsid "$src/tools/wine-session" ${keepalive:+--keepalive "$keepalive"} "$@" \
    </dev/null 2>"$work/session.err"
}
# ended PID: waits up to 3 minutes for the session PID; its exit code in rc.
ended() {
  local i
  for (( i = 0; i < 1800; i++ )); do running "$1" || break; sleep 0.1; done
  running "$1" && { echo "  the session did not end" >&2; end_pid "$1"; }
  wait "$1"
  rc=$?
}
# nothing_left: no process that a session here started is still running.
nothing_left() {
  local left
  left=$("$src/tools/leftovers" --end "$mark") && return 0
  echo "  still running: $left" >&2
  return 1
}
# appears FILE: FILE exists within 60 s.
appears() {
  local i
  for (( i = 0; i < 600; i++ )); do [ -e "$1" ] && return 0; sleep 0.1; done
  return 1
}
snapshot() {  # FOLDER: every entry with its size, mode and contents' hash
  (cd "$1" && find . -printf '%p %s %m %y\n' | sort && find . -type f -exec sha256sum {} + | sort)
}

# --- A folder that is not the project's ------------------------------------
# A person's own prefix; one with an empty mark, which any program could
# write; one whose mark others may rewrite.
not_ours_cases=(
  "a folder the project did not make|user-prefix|"
  "a folder with an empty mark|empty-mark|: >.vornelle-arch"
  "a folder whose mark others may write|open-mark|echo $arch >.vornelle-arch; chmod 666 .vornelle-arch"
)
for case in "${not_ours_cases[@]}"; do
  IFS='|' read -r what name marking <<<"$case"
  user=$work/$name
  mkdir -p "$user/drive_c/users"
  echo "a person's own file" > "$user/drive_c/users/important.txt"
  echo "WINE REGISTRY Version 2" > "$user/system.reg"
  (cd "$user" && eval "$marking")
  before=$(snapshot "$user")
  siblings=$(ls -a "$work")
  session "$user" touch "$work/ran"
  ended $!
  check "a session on $what refuses it" [ "$rc" -ne 0 -a ! -e "$work/ran" ]
  check "... and leaves it untouched" [ "$(snapshot "$user")" = "$before" ]
  check "... and makes nothing beside it" [ "$(ls -a "$work" | grep -v session.err)" = "$(grep -v session.err <<<"$siblings")" ]
  check "... and says so in one line naming the folder and how to choose another" \
    bash -c '[ $(wc -l <"$1") -eq 1 ] && grep -qF -- "$2" "$1" && grep -q WINEPREFIX "$1"' _ \
    "$work/session.err" "$user is not a Wine prefix this project made"
done

# --- Ctrl+C while the prefix is made ---------------------------------------
prefix="$work/a prefix"
session "$prefix" touch "$work/ran"
pid=$!
appears "$prefix/.vornelle-arch"
sleep 2
kill -INT -- -"$pid"
ended "$pid"
check "Ctrl+C while the prefix is made ends the session (exit code $rc)" [ "$rc" -eq 130 -a ! -e "$work/ran" ]
check "... and every process it started" nothing_left
check "... and leaves the half-made prefix marked as the project's" \
  [ -f "$prefix/.vornelle-arch" -a ! -e "$prefix/.vornelle-prefix-2" ]

# --- The next session makes it again; its display needs the cookie ---------
echo planted > "$prefix/planted"
cat > "$work/inside.sh" <<'INSIDE'
# Run as the session's command: what its display lets in, as key=value lines.
out=$1 outer_xauthority=$2
: > "$out.empty"
{
  echo "display=$DISPLAY"
  xdpyinfo >/dev/null 2>&1; echo "with_cookie=$?"
  XAUTHORITY=$out.empty xdpyinfo >/dev/null 2>&1; echo "empty_file=$?"
  env -u XAUTHORITY HOME=/nonexistent xdpyinfo >/dev/null 2>&1; echo "no_file=$?"
  if [ -n "$outer_xauthority" ]; then
    XAUTHORITY=$outer_xauthority xdpyinfo >/dev/null 2>&1; echo "other_cookie=$?"
  fi
  echo "cookie_mode=$(stat -c '%a %u' "$XAUTHORITY")"
  echo "folder_mode=$(stat -c '%a %u' "$(dirname "$XAUTHORITY")")"
  echo "cookie_folder=$(dirname "$XAUTHORITY")"
  wine cmd /c exit 7 </dev/null >/dev/null 2>&1; echo "wine=$?"
} > "$out"
INSIDE
session "$prefix" bash "$work/inside.sh" "$work/inside.out" "${XAUTHORITY:-}"
ended $!
inside() { sed -n "s/^$1=//p" "$work/inside.out" 2>/dev/null; }
check "a session on the half-made prefix runs its command (exit code $rc)" [ "$rc" -eq 0 ]
check "... after making the prefix again" [ -e "$prefix/.vornelle-prefix-2" -a ! -e "$prefix/planted" ]
check "... with Wine in it" [ "$(inside wine)" = 7 ]
check "... on a display of its own ($(inside display), not ${DISPLAY:-none})" \
  [ -n "$(inside display)" -a "$(inside display)" != "${DISPLAY:-}" ]
check "its display lets in a client with the session's cookie" [ "$(inside with_cookie)" = 0 ]
check "... and refuses one with an empty cookie file" [ "$(inside empty_file)" = 1 ]
check "... and one with no cookie file" [ "$(inside no_file)" = 1 ]
[ -n "${XAUTHORITY:-}" ] &&
  check "... and one with another session's cookie" [ "$(inside other_cookie)" = 1 ]
check "the cookie is in a file only its user reads" [ "$(inside cookie_mode)" = "600 $(id -u)" ]
check "... in a folder only its user enters" [ "$(inside folder_mode)" = "700 $(id -u)" ]
check "... which the session removes" [ -n "$(inside cookie_folder)" -a ! -e "$(inside cookie_folder)" ]
check "... and the session leaves no process running" nothing_left

# --- TERM and Ctrl+C while the command runs --------------------------------
echo kept > "$prefix/kept"
for stop in TERM INT; do
  rm -f "$work/started"
  session "$prefix" bash -c 'touch "$1"; exec sleep 300' _ "$work/started"
  pid=$!
  appears "$work/started"
  if [ $stop = TERM ]; then kill -TERM "$pid"; want=143; what="TERM to the session"
  else kill -INT -- -"$pid"; want=130; what="Ctrl+C"
  fi
  ended "$pid"
  check "$what while its command runs ends the session at once (exit code $rc)" [ "$rc" -eq $want ]
  check "... and every process it started" nothing_left
done
check "a whole prefix is reused, not made again" [ -e "$prefix/kept" ]

# --- What a command leaves running -----------------------------------------
session "$prefix" bash -c 'setsid sleep 301 </dev/null >/dev/null 2>&1 & exit 0'
ended $!
check "a command that leaves a process running still gives its exit code ($rc)" [ "$rc" -eq 0 ]
check "... and that process ends with the session" nothing_left
check "... named by the session" grep -q "sleep 301" "$work/session.err"

checks_summary
