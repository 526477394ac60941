# Shell helpers for scripts that start processes and must end each of them
# by its id, on success, failure, Ctrl+C or TERM. Source this file.
#
# A script marks what it starts: it adds a mark of its own to VORNELLE_MARKS
# (":mark:mark:"), which every process it starts inherits, also one that
# leaves the process tree (a daemon). tools/leftovers finds them by that mark.

# new_mark KIND: a fresh mark, e.g. session.1f0c9e7a2b3d, unique to this run.
new_mark() { echo "$1.$(mcookie | cut -c1-12)"; }

# start_child COMMAND...: starts COMMAND in the background with the caller's
# standard input and with Ctrl+C's signals as they were (a script's
# background jobs would ignore them); its id is $! afterwards.
start_child() { ( trap - INT QUIT; exec "$@" ) <&0 & }

source "$(dirname "${BASH_SOURCE[0]}")/wait.sh"

# running PID: true while the process exists and has not ended (a process
# that ended but is not yet reaped has ended).
running() {
  local stat
  read -r stat 2>/dev/null <"/proc/$1/stat" || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ] && [ "${stat%% *}" != X ]
}

ended() { ! running "$1"; }

# end_pid PID [SECONDS]: asks the process to end (TERM), waits up to SECONDS
# (default 5) for it, then ends it with KILL; reaps it when it is a child.
end_pid() {
  kill -TERM "$1" 2>/dev/null
  wait_until "${2:-5}" ended "$1"
  running "$1" && kill -KILL "$1" 2>/dev/null
  wait "$1" 2>/dev/null
  return 0
}
