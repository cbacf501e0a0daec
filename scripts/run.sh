#!/usr/bin/env bash
# Installs what is missing, builds, and starts Vidralo. Extra arguments go to
# the program (for example --demo, --headless or --dir DIR). Without --dir the
# program directory is the user's data folder (~/.local/share/vidralo), never
# the build folder. Only the program is built; scripts/test.sh builds the rest.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/run_arguments.sh
bash scripts/build.sh vidralo
run_arguments "$@"
exec build/src/app/vidralo "${RUN_ARGS[@]}"
