# Sourced by the CI scripts: `phase NAME COMMAND...` runs the command and, when
# QUILLA_TIMES names a file, appends "NAME wall user sys" (seconds) to it.
phase() {
  local name=$1
  shift
  if [ -n "${QUILLA_TIMES:-}" ] && [ -x /usr/bin/time ]; then
    /usr/bin/time -f "$name %e %U %S" -a -o "$QUILLA_TIMES" "$@"
  else
    "$@"
  fi
}
