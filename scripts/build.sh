#!/usr/bin/env bash
# Installs what is missing and builds into build/: the given targets (for
# example "vidralo"), or everything, the tests included, when none is given.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
if (($# > 0)); then
  cmake --build build --parallel "$(nproc)" --target "$@"
else
  cmake --build build --parallel "$(nproc)"
fi
