#!/usr/bin/env bash
# Installs Quilla into a temporary prefix, checks what went where, and starts
# the installed program on the simulated programmer (offscreen) with QUILLA_HOME
# unset and a fresh configuration folder: it must find its device lists and
# design files under PREFIX/share/quilla (a list it cannot read is named on
# standard error, and its message box would keep the program from ending), and
# end on its own after the screenshot.
#   tests/install/install_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/quilla share/quilla/device310.lst share/quilla/device520.lst share/quilla/device640.lst \
         share/quilla/BLib/vex300.bit share/quilla/help/index.html lib/udev/rules.d/70-quilla.rules \
         share/applications/quilla.desktop share/icons/hicolor/scalable/apps/quilla.svg \
         share/quilla/Place/p44.bmp share/quilla/Place2/p44.bmp; do
  [ -e "$prefix/$f" ] || fail "missing $f"
done
[ -x "$prefix/bin/quilla" ] || fail "bin/quilla is not executable"
for f in share/quilla/udev share/quilla/desktop; do
  [ ! -e "$prefix/$f" ] || fail "$f should not be installed"
done

quilla=$prefix/bin/quilla
[ "$("$quilla" --version)" = "Quilla $version" ] || fail "--version says: $("$quilla" --version)"
"$quilla" --help | grep -q '^usage: quilla' || fail "--help prints no usage"
set +e
"$quilla" --bogus >"$tmp/out" 2>"$tmp/err"
rc=$?
set -e
[ $rc -eq 2 ] || fail "--bogus ended with status $rc, not 2"
grep -q '^usage: quilla' "$tmp/err" || fail "--bogus prints no usage on standard error"

set +e
env -u QUILLA_HOME -u QUILLA_SIMULATE XDG_CONFIG_HOME="$tmp/config" QT_QPA_PLATFORM=offscreen \
  timeout 60 "$quilla" --simulate --screenshot="$tmp/shot.png" >"$tmp/out" 2>"$tmp/err"
rc=$?
set -e
if [ $rc -ne 0 ] || grep -q 'cannot read' "$tmp/err"; then
  cat "$tmp/err" >&2
  fail "the installed program ended with status $rc"
fi
[ -s "$tmp/shot.png" ] || fail "no screenshot"

# A binary file named on the command line loads without a word (a message box
# would keep the program from ending on its own).
printf 'QUILLA' >"$tmp/image.bin"
set +e
env -u QUILLA_HOME -u QUILLA_SIMULATE XDG_CONFIG_HOME="$tmp/config" QT_QPA_PLATFORM=offscreen \
  timeout 60 "$quilla" --simulate --screenshot="$tmp/shot2.png" "$tmp/image.bin" >"$tmp/out" 2>"$tmp/err"
rc=$?
set -e
[ $rc -eq 0 ] || { cat "$tmp/err" >&2; fail "started with image.bin, the program ended with status $rc"; }
[ -s "$tmp/shot2.png" ] || fail "no screenshot with image.bin"

# The same start without the installed vex520 list: the program names the
# list it looked for under the prefix (then waits on its message box, so it
# is ended here).
mv "$prefix/share/quilla/device520.lst" "$tmp/device520.lst"
env -u QUILLA_HOME -u QUILLA_SIMULATE XDG_CONFIG_HOME="$tmp/config" QT_QPA_PLATFORM=offscreen \
  "$quilla" --simulate >"$tmp/out" 2>"$tmp/err" &
pid=$!
want="quilla: cannot read the device list $prefix/share/quilla/device520.lst"
for _ in $(seq 200); do
  grep -qF "$want" "$tmp/err" && break
  sleep 0.1
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
grep -qF "$want" "$tmp/err" || { cat "$tmp/err" >&2; fail "without its list the program did not say where it looked"; }
echo "install test: $prefix holds the program and its data; the installed program started and ended"
