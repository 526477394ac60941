# Whether a folder is the caller's to act on, the one rule for every script
# that may run as root (build root, DIST, Wine prefix, GnuPG home). Source it,
# or run it: tools/lib/owned.sh FOLDER [MARK] prints the refusal, exit 1.
#
# A folder is the caller's when it is a folder (not a link) that the caller
# owns and that neither group nor others may write, and every folder above it
# is owned by root or the caller and is not writable by group or others, unless
# it carries the sticky bit (as /tmp does: others can then neither rename nor
# replace what the caller owns there). A folder that does not exist yet is the
# caller's to make when the folders above it hold to that. A project's mark
# (MARK, a file in the folder) counts only as a regular file, not a link, held
# to the same ownership, of at most 64 bytes; mark_content prints its content.

# owned_refusal FOLDER: nothing and true when FOLDER is the caller's to act on,
# else one line saying why and false.
owned_refusal() {
  local path=$1 me above up
  me=$(id -u)
  [[ $path = /* ]] || path=$PWD/$path
  if [ -e "$path" ] || [ -L "$path" ]; then
    _owned_entry "$path" folder "$me" || return 1
  fi
  # The folders above, each as it is named and as it lies on disk.
  above=$(dirname -- "$path")
  while [ ! -e "$above" ]; do above=$(dirname -- "$above"); done
  for up in "$above" "$(cd -P -- "$above" 2>/dev/null && pwd)"; do
    while :; do
      _owned_entry "$up" above "$me" || return 1
      [ "$up" = / ] && break
      up=$(dirname -- "$up")
    done
  done
}

# mark_content FOLDER MARK: the mark's content, when it is a mark that counts.
mark_content() {
  local mark=$1/$2
  [ -f "$mark" ] && ! [ -L "$mark" ] && _owned_entry "$mark" mark "$(id -u)" >/dev/null \
    && [ "$(stat -c %s -- "$mark")" -le 64 ] && cat -- "$mark"
}

# _owned_entry PATH folder|above|mark UID: the rule for one entry.
_owned_entry() {
  local path=$1 kind=$2 me=$3 owner mode type
  read -r owner mode type < <(stat -c '%u %a %F' -- "$path" 2>/dev/null) || {
    echo "$path cannot be read"; return 1; }
  mode=$((8#$mode))
  case $kind in
    folder)
      if [ -L "$path" ]; then echo "$path is a link, not a folder"; return 1; fi
      if [ "$type" != directory ]; then echo "$path is not a folder"; return 1; fi ;;
    above)
      # A link above is followed: only one that root or the caller made.
      if [ -L "$path" ]; then
        owner=$(stat -c %u -- "$path")
        [ "$owner" = 0 ] || [ "$owner" = "$me" ] \
          || { echo "$path, above it, is a link of user $(_owned_name "$owner")"; return 1; }
        return 0
      fi ;;
  esac
  if [ "$kind" = above ]; then
    if [ "$owner" != 0 ] && [ "$owner" != "$me" ]; then
      echo "$path, above it, belongs to user $(_owned_name "$owner"), not to root or you"
      return 1
    fi
    if (( mode & 8#022 )) && ! (( mode & 8#1000 )); then
      echo "$path, above it, may be written by others (and is not sticky)"
      return 1
    fi
    return 0
  fi
  if [ "$owner" != "$me" ]; then
    echo "$path belongs to user $(_owned_name "$owner"), not to you"
    return 1
  fi
  if (( mode & 8#022 )); then
    echo "$path may be written by others"
    return 1
  fi
}

_owned_name() { getent passwd "$1" | cut -d: -f1 | grep . || echo "$1"; }

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  [ $# -ge 1 ] || { echo "usage: tools/lib/owned.sh FOLDER [MARK]" >&2; exit 2; }
  owned_refusal "$1" || exit 1
  [ $# -lt 2 ] || mark_content "$1" "$2" >/dev/null || { echo "$1/$2 is not a mark that counts"; exit 1; }
fi
