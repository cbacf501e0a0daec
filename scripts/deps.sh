#!/usr/bin/env bash
# The one list of Debian packages Vidralo needs to build, run and test.
# Installs only what is missing, so it is cheap to call before every build.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libqt6svg6 qt6-translations-l10n
  libcurl4-openssl-dev rapidjson-dev libcpp-httplib-dev libssl-dev openssl zlib1g-dev
  libsqlite3-dev libsqlitecpp-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  chromium
  fonts-wqy-microhei libxcb1-dev
  procps psmisc ccache iproute2
  curl aria2
  xvfb xauth
  prometheus-cpp-dev systemd
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
