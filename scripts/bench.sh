#!/usr/bin/env bash
# Builds and runs every benchmark; each prints its own figures and targets.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
for bench in $(find build/bench -type f -executable -name 'bench_*' | sort); do
  echo "== $bench"
  "$bench"
done
