#!/usr/bin/env bash
# Installs the build into a scratch prefix, moves the installed tree away
# from where it was installed, and runs it from there with the build and
# source folders hidden (empty folders mounted over them, where the host
# lets a user make a mount namespace): displaydemo headless from its script,
# soundmaker into a folder it has to make, and audiochain on one of the
# sounds. The programs must find their data from their own executable: a
# copy of the tree without its data folder must miss it.
#   installed_tree.sh CMAKE BUILD_DIR SOURCE_DIR DEMO_SCRIPT
set -eu
cmake=$1
build=$2
source=$3
script=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs a command with the build and source folders out of reach.
if unshare -rm --propagation private true 2>/dev/null; then
  hidden() {
    unshare -rm --propagation private bash -c \
      'mount -t tmpfs none "$1" && mount -t tmpfs none "$2" && shift 2 && exec "$@"' _ "$build" "$source" "$@"
  }
  echo "build and source folders hidden while the tree runs"
else
  hidden() { "$@"; }
  echo "no mount namespace here: the moved tree runs beside the build folder"
fi

"$cmake" --install "$build" --prefix "$work/stage" >"$work/install.log"
# Moved: nothing may depend on the prefix it was installed to.
mv "$work/stage" "$work/tree"
tree=$work/tree
cp "$script" "$work/demo.script"

for tool in displaydemo tableview tableplay platformgallery rescomp tablesim arkpack imgconv ksomake soundmaker \
  fontmake moviemake tablemake uimake audiochain skinc skindump skinart lngmake Home skingallery Kestrune kestrunedata \
  Vocamo Quorvist; do
  [ -x "$tree/bin/$tool" ] || { echo "not installed: bin/$tool"; exit 1; }
done
# The device's libraries that programs load by name lie beside them.
extra=$(ls "$tree/bin" | grep -vxE 'displaydemo|tableview|tableplay|platformgallery|rescomp|tablesim|arkpack|imgconv|ksomake|soundmaker|fontmake|moviemake|tablemake|uimake|audiochain|skinc|skindump|skinart|lngmake|Home|skingallery|Kestrune|kestrunedata|Vocamo|Quorvist|imgdecmp\.dll|tapres\.dll|Pelmora\.dll|Tessivo\.dll' || true)
[ -z "$extra" ] || { echo "installed beside the programs: $extra"; exit 1; }

run_demo() {
  local dir=$1
  mkdir -p "$dir"
  (cd "$dir" && DEVICE_BACKEND=headless DEVICE_ROOT="$dir/device" DEVICE_SCRIPT="$work/demo.script" \
    hidden "$2" 2>"$dir/errors.txt")
}

run_demo "$work/run" "$tree/bin/displaydemo"
if grep -q "missing data" "$work/run/errors.txt"; then
  cat "$work/run/errors.txt"
  exit 1
fi
for shot in start tap drag; do
  [ -s "$work/run/$shot.png" ] || { echo "displaydemo wrote no $shot.png"; exit 1; }
done

# Without the tree's data folder the demo must miss its data, whatever other
# folders (the build tree among them) still hold it.
cp -a "$tree" "$work/bare"
rm -rf "$work/bare/data"
run_demo "$work/run-bare" "$work/bare/bin/displaydemo" || true
grep -q "missing data" "$work/run-bare/errors.txt" || {
  echo "displaydemo found data outside its own tree"
  exit 1
}

hidden "$tree/bin/soundmaker" "$work/sounds/made/here" >/dev/null
[ -s "$work/sounds/made/here/rack.wav" ] || { echo "soundmaker wrote no rack.wav"; exit 1; }
(cd "$work" && hidden "$tree/bin/audiochain" play "$work/sounds/made/here/rack.wav" --out "$work/heard.wav" >/dev/null)
[ -s "$work/heard.wav" ] || { echo "audiochain wrote no heard.wav"; exit 1; }
echo "installed tree runs from $tree"
