#!/usr/bin/env bash
# Generates the design files of the simulated programmer in data/BLib/.
# Each file: a short text header without any 0xFF byte (under 100 bytes), then
# the data: 0xFF, "QSIM design=<name>", zero padding to 240 data bytes.
# The simulator recognises a design by that tag. A family adds its names to
# DESIGNS below and re-runs the script (the files are committed).
set -euo pipefail

DESIGNS=(
  vex300
  chkpin
  vex300at51plcc44
  p51dip40
  p51plcc44
  p93cxxx
  atmega8dip28
  at90s8515dip40
  at90s8535dip40
  at90s8515plcc44
  at90s8535plcc44
  at90s2323
  ATdip20spi
  ATmeg161spi
  Atiny12
  Atiny15
  pic16dip40 pic16dip40c pic16dip28 pic16dip28c pic16dip29 pic16dip20
  pic16dip18 pic16dip18c pic16dip14 pic16dip08 pic16plcc44 pic16qfp44
  pic18plcc44 pic18qfp44 pic18tqfp44 pic18dip40 pic18dip28 pic18f2331dip28 pic18dip18
  i82802
  pld22cv10
  x28c
  tsop48at49f321
  tsop48p29
  at49f002dip32
  intel48tsop16
  at27c2048dip40
  at27c4096dip40
  mx1611sop44
  intel40ts08
  tsop29cmd2aa
  tsop29cmd2aaa
  i2c24c
  em78p156 em78p447 em78p153 em78p458
  mdt2000
  pic16c54dip18 pic16c57dip28
  pic17dip40
  cr80px00
  HoltekStd Holtek2
  at25spi
  x5045dip08 x5045dip14
)

here="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$here/data/BLib}"
mkdir -p "$out"

for name in "${DESIGNS[@]}"; do
  file="$out/$name.bit"
  header="Quilla simulated FPGA design ${name}.bit"$'\r\n'
  if (( ${#header} >= 100 )); then
    echo "header of $name too long" >&2
    exit 1
  fi
  tag="QSIM design=$name"
  pad=$(( 240 - 1 - ${#tag} ))
  {
    printf '%s' "$header"
    printf '\377'
    printf '%s' "$tag"
    head -c "$pad" /dev/zero
  } > "$file"
done
