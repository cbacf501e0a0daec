#!/usr/bin/env bash
# Installs what is missing, builds, and starts Vidralo. Extra arguments go to
# the program (for example --demo, --headless or --dir DIR). Without --dir the
# program directory is the user's data folder (~/.local/share/vidralo), never
# the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/run_arguments.sh
bash scripts/build.sh
run_arguments "$@"
exec build/src/app/vidralo "${RUN_ARGS[@]}"
