#!/usr/bin/env bash
# The Debian package as a user meets it: apt installs it, the demo publishes
# its six videos from /usr/bin under an ordinary account (no root, no
# display, the package's default data folder), apt removes it without a trace.
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
USER_NAME=vidralo-ci

bash scripts/package.sh
deb=$(ls build/vidralo_*_amd64.deb)
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "./$deb"
demo_output=$(mktemp)
trap 'rm -f "$demo_output"; $SUDO env DEBIAN_FRONTEND=noninteractive apt-get remove -y vidralo >/dev/null' EXIT
id "$USER_NAME" >/dev/null 2>&1 || $SUDO useradd --create-home --shell /bin/bash "$USER_NAME"
home=$(getent passwd "$USER_NAME" | cut -d: -f6)

# No pauses between videos: the demo's own settings are overridden like any other.
$SUDO runuser -u "$USER_NAME" -- env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 \
  timeout 600 /usr/bin/vidralo --demo --headless --set 编辑框_视频间隔=0 --set 编辑框_视频间隔1=0 \
  | tee "$demo_output"
grep -q "模拟平台记录了 6 个发表" "$demo_output"
[ -d "$home/.local/share/vidralo-demo/data" ] || { echo "the demo's folder is not in the user's data folder"; exit 1; }
# The demo's platform ends with it, so its browsers must go with it too.
for _ in $(seq 50); do pgrep -u "$USER_NAME" -f chromium >/dev/null || break; sleep 0.1; done
! pgrep -u "$USER_NAME" -af chromium || { echo "the demo left a browser running"; exit 1; }

/usr/bin/vidralo --version
systemd-analyze verify /usr/lib/systemd/user/vidralo-headless@.service
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get remove -y vidralo
trap 'rm -f "$demo_output"' EXIT
for f in /usr/bin/vidralo /usr/bin/vidralo-platform-sim /usr/lib/vidralo /usr/share/applications/vidralo.desktop \
  /usr/share/icons/hicolor/scalable/apps/vidralo.svg /usr/lib/systemd/user/vidralo-headless@.service; do
  [ ! -e "$f" ] || { echo "left behind after removal: $f"; exit 1; }
done
echo "package: built, installed, demo published as $USER_NAME, removed"
