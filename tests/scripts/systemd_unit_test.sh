#!/usr/bin/env bash
# systemd-analyze verify on the packaged unit template, its ExecStart pointed
# at the built program. verify exits 0 on keys it ignores, so any line it
# prints fails the test too.
set -euo pipefail
source_dir=$1
program=$2
command -v systemd-analyze >/dev/null || { echo "systemd-analyze is missing (package systemd)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sed "s|/usr/bin/vidralo|$program|" "$source_dir/packaging/vidralo-headless@.service" >"$work/vidralo-headless@.service"
output=$(systemd-analyze verify "$work/vidralo-headless@.service" 2>&1) || { echo "$output"; exit 1; }
[ -z "$output" ] || { echo "$output"; exit 1; }
echo "vidralo-headless@.service: verified"
