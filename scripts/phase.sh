# Sourced by the CI scripts: `phase NAME COMMAND...` runs the command (a program
# or a shell function) and, when QUILLA_TIMES names a file, appends
# "NAME wall user sys" (seconds, children included) to it.
phase() {
  local name=$1
  shift
  if [ -n "${QUILLA_TIMES:-}" ]; then
    local TIMEFORMAT="$name %R %U %S"
    # The command's own errors still reach the terminal (fd 3); only the
    # timing line goes to the file.
    { time "$@" 2>&3; } 3>&2 2>>"$QUILLA_TIMES"
  else
    "$@"
  fi
}
