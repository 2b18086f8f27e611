#!/usr/bin/env bash
# Checks that the layers point one way (see the design notes):
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
bad=0
check() {  # check DIR ALLOWED_REGEX [EXCLUDE_REGEX]
  local dir=$1 allowed=$2 exclude=${3:-'^$'}
  while IFS= read -r line; do
    file=${line%%:*}
    inc=$(sed -E 's/.*#include[[:space:]]*"([^"]+)".*/\1/' <<<"$line")
    top=${inc%%/*}
    case "$top" in engine|sim|app|catalog|algo|simulate) ;; *) continue ;; esac
    if ! grep -qE "$allowed" <<<"$inc"; then
      echo "layer: $file includes \"$inc\""
      bad=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$dir" --include='*.h' --include='*.cpp' |
           grep -vE "$exclude")
}
check engine '^engine/'
check sim '^(sim|engine)/'
check app '^(app|engine)/' '^app/ui/'
check catalog '^(catalog|app|engine)/' '^catalog/ui/'
check algo '^(algo|app|engine)/|^catalog/(form|params)\.h$' '^algo/([a-z0-9_]+/)?ui/'
check simulate '^(simulate|catalog|app|sim|engine)/'
# Qt only in the views.
qt=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(Q[A-Za-z]|qt)' engine sim app catalog algo simulate \
       --include='*.h' --include='*.cpp' | grep -vE '^(app|catalog)/ui/|^algo/([a-z0-9_]+/)?ui/')
if [ -n "$qt" ]; then
  printf 'layer: Qt in a headless file: %s\n' "$qt"
  bad=1
fi
[ $bad -eq 0 ] && echo "layers: clean"
exit $bad
