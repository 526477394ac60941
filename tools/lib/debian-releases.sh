# The Debian releases the project is tested on, each as SUITE:VERSION, oldest
# first; the last is the newest, the default wherever a release is chosen.
# Source this file.
debian_releases=(bookworm:12 trixie:13)

# debian_newest: prints the newest release's suite.
debian_newest() { echo "${debian_releases[-1]%%:*}"; }

# debian_version SUITE: prints the release's version number; false for a suite
# that is not one of the releases above.
debian_version() {
  local r
  for r in "${debian_releases[@]}"; do
    [ "${r%%:*}" = "$1" ] && { echo "${r#*:}"; return 0; }
  done
  return 1
}

# debian_suites: prints the suites, one per line, oldest first.
debian_suites() { printf '%s\n' "${debian_releases[@]%%:*}"; }
