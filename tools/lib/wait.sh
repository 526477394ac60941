# Waiting, for scripts that start things and then wait for them: one polling
# helper instead of a loop in each script. Source this file.

# wait_until SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds
# (true) or SECONDS (a whole number) have passed (false).
wait_until() {
  local tries=$(( $1 * 10 )) i
  shift
  for (( i = 0; ; i++ )); do
    "$@" && return 0
    (( i >= tries )) && return 1
    sleep 0.1
  done
}
