#!/usr/bin/env bash
# Installs what is missing, builds, and starts Vidralo. Extra arguments go to
# the program (for example --dir DIR or --headless).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec build/src/app/vidralo "$@"
