# Counted checks for test scripts: `check DESCRIPTION COMMAND...` runs the
# command and prints "ok - ..." or "FAIL - ..."; passed and failed count them,
# and `checks_summary` prints "N passed, N failed" and fails when any failed.
passed=0
failed=0

check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then
    echo "ok - $what"; passed=$((passed + 1))
  else
    echo "FAIL - $what"; failed=$((failed + 1))
  fi
}

checks_summary() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
