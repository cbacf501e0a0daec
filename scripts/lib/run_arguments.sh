# Sourced by scripts/run.sh. run_arguments ARGS... sets RUN_ARGS to the
# program's arguments: the ones given, with "--dir" of the user's data folder
# in front unless they choose a folder themselves or run the demo, which keeps
# its own. The executable's folder is build/, which a clean build deletes
# together with every account, setting and browser log-in.
run_arguments() {
  RUN_ARGS=("$@")
  local argument
  for argument in "$@"; do
    case "$argument" in
      --dir | --dir=* | --demo | -h | --help | -v | --version) return 0 ;;
    esac
  done
  local base="$HOME/.local/share"
  [[ "${XDG_DATA_HOME:-}" == /* ]] && base="$XDG_DATA_HOME"
  local folder="$base/vidralo"
  mkdir -p "$folder"
  chmod 700 "$folder"
  RUN_ARGS=(--dir "$folder" "$@")
}
