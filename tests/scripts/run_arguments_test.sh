#!/usr/bin/env bash
# scripts/run.sh's choice of program directory, without building anything.
set -euo pipefail
source "$1/scripts/lib/run_arguments.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export HOME="$scratch/home"
unset XDG_DATA_HOME
run_arguments --headless
[[ "${RUN_ARGS[*]}" == "--dir $HOME/.local/share/vidralo --headless" ]] || fail "default: ${RUN_ARGS[*]}"
[[ -d "$HOME/.local/share/vidralo" ]] || fail "the data folder is created"
[[ $(stat -c %a "$HOME/.local/share/vidralo") == 700 ]] || fail "the data folder is private"
case "${RUN_ARGS[1]}" in "$1"/build*) fail "inside the build tree: ${RUN_ARGS[1]}" ;; esac

XDG_DATA_HOME="$scratch/xdg" run_arguments
[[ "${RUN_ARGS[*]}" == "--dir $scratch/xdg/vidralo" ]] || fail "XDG_DATA_HOME: ${RUN_ARGS[*]}"
XDG_DATA_HOME="relative" run_arguments
[[ "${RUN_ARGS[*]}" == "--dir $HOME/.local/share/vidralo" ]] || fail "a relative XDG_DATA_HOME is ignored: ${RUN_ARGS[*]}"

for given in "--dir /srv/v --headless" "--dir=/srv/v" "--demo" "--help" "--version"; do
  # shellcheck disable=SC2086
  run_arguments $given
  [[ "${RUN_ARGS[*]}" == "$given" ]] || fail "kept as given: $given -> ${RUN_ARGS[*]}"
done
echo "run_arguments: ok"
