# Counted checks for test scripts: `check DESCRIPTION COMMAND...` runs the
# command and prints "ok - ..." or "FAIL - ..."; passed and failed count them,
# and `checks_summary` prints "N passed, N failed" and fails when any failed.
# `fresh_work_folder PATH` empties a test's work folder: one it marked as its
# own, or one inside a build folder (beside CMakeCache.txt, higher up); any
# other folder that holds files is never removed. `new_temporary_folder VAR`
# makes a private temporary folder, removed when the script ends.
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

fresh_work_folder() {  # PATH: made empty, or the script stops when PATH is not a work folder
  local mark=.vornelle-test-work up
  up=$(realpath -m -- "$1")
  if [ -e "$1" ] && [ ! -e "$1/$mark" ] && [ -n "$(ls -A "$1" 2>/dev/null)" ]; then
    while [ "$up" != / ] && [ ! -e "$up/CMakeCache.txt" ]; do up=$(dirname "$up"); done
    if [ "$up" = / ]; then
      echo "$(basename "$0"): $1 holds files and is no test's work folder; leaving it" >&2
      exit 1
    fi
  fi
  rm -rf -- "$1"
  mkdir -p -- "$1" && touch -- "$1/$mark"
}

temporary_folders=()
remove_temporary_folders() {
  local folder
  for folder in "${temporary_folders[@]}"; do rm -rf -- "$folder"; done
}
new_temporary_folder() {  # VARIABLE: set to a new private folder, removed at the script's end
  local folder
  folder=$(mktemp -d) || exit 1
  temporary_folders+=("$folder")
  printf -v "$1" %s "$folder"
  trap remove_temporary_folders EXIT
}
