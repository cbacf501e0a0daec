#!/usr/bin/env bash
# Installs what is missing, builds, and makes the Debian package
# build/vidralo_<version>_amd64.deb. Install it with
#   sudo apt install ./build/vidralo_*_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build
cpack -G DEB
