#!/usr/bin/env bash
# Checks that the layers point one way (docs/ARCHITECTURE.md, "Layers"):
#   engine/       includes nothing else of the project
#   sim/          only engine/
#   app/ (not ui) only engine/
#   catalog/ (not ui) only app/ and engine/
#   algo/ (not ui)    catalog's form contract and parameters, app/, engine/ (never the selection dialog)
#   simulate/     the simulated session: catalog/, app/, sim/, engine/ (no forms)
#   no headless file includes Qt
# Prints every offending line and exits 1 when there is one.
set -uo pipefail
cd "$(dirname "$0")/.."
# One pass over every include line of the headless folders: FILE:LINE:#include ...
grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]' engine sim app catalog algo simulate \
     --include='*.h' --include='*.cpp' |
awk '
  function allowed(dir, inc) {
    if (dir == "engine")   return inc ~ /^engine\//
    if (dir == "sim")      return inc ~ /^(sim|engine)\//
    if (dir == "app")      return inc ~ /^(app|engine)\//
    if (dir == "catalog")  return inc ~ /^(catalog|app|engine)\//
    if (dir == "algo")     return inc ~ /^(algo|app|engine)\// || inc ~ /^catalog\/(form|params)\.h$/
    if (dir == "simulate") return inc ~ /^(simulate|catalog|app|sim|engine)\//
    return 1
  }
  {
    file = $0; sub(/:.*/, "", file)
    view = file ~ /^(app|catalog)\/ui\// || file ~ /^algo\/([a-z0-9_]+\/)?ui\//
    if (view) next
    dir = file; sub(/\/.*/, "", dir)
    if (match($0, /#[[:space:]]*include[[:space:]]*</)) {
      rest = substr($0, RSTART + RLENGTH)
      if (rest ~ /^(Q[A-Za-z]|qt)/) { print "layer: Qt in a headless file: " $0; bad = 1 }
      next
    }
    inc = $0; sub(/^[^"]*"/, "", inc); sub(/".*$/, "", inc)
    top = inc; sub(/\/.*/, "", top)
    if (top !~ /^(engine|sim|app|catalog|algo|simulate)$/) next
    if (!allowed(dir, inc)) { print "layer: " file " includes \"" inc "\""; bad = 1 }
  }
  END { if (!bad) print "layers: clean"; exit bad }
'
