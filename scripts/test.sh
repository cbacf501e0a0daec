#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Needs no display:
# Qt runs offscreen and Chromium headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure --timeout 600 --parallel 2
