#!/bin/bash
# The starfield example built outside this tree against a fresh install of the build's libraries
# (cmake --install), as a program of the library's users is: found with find_package(clouddisk)
# and linked to clouddisk::gfx, then run on the null driver.
# Arguments: a scratch directory, the build tree, the example's sources, the CMake generator, the
# toolchain file (empty for the host's compiler), the build type, and the emulator that runs
# the program (if any).
set -eu
work=$1 tree=$2 source=$3 generator=$4 toolchain=$5 build_type=$6
shift 6
rm -rf "$work"
mkdir -p "$work"

cmake --install "$tree" --prefix "$work/prefix" >"$work/install.log"
configure=(-S "$source" -B "$work/build" -G "$generator" -DCMAKE_BUILD_TYPE="$build_type"
  -DCMAKE_PREFIX_PATH="$work/prefix")
[ -n "$toolchain" ] && configure+=(-DCMAKE_TOOLCHAIN_FILE="$toolchain")
if ! cmake "${configure[@]}" >"$work/configure.log" 2>&1 ||
  ! cmake --build "$work/build" -j 1 >"$work/build.log" 2>&1; then
  cat "$work/configure.log" "$work/build.log" 2>/dev/null | tail -40
  exit 1
fi
if ! grep -q "clouddisk_DIR:PATH=$work/prefix/" "$work/build/CMakeCache.txt"; then
  echo "the package was not found in the fresh install"
  exit 1
fi

# The tree's Wine prefix, as the emulator gives the tree's own programs.
export WINEPREFIX="${WINEPREFIX:-$tree/wineprefix}"
program=$work/build/starfield
[ -f "$program.exe" ] && program=$program.exe
status=0
QXGFX=null "$@" "$program" --frames 20 >"$work/output.txt" 2>&1 || status=$?
expected="starfield: 20 frames on 640 x 480 x 32, 2 pages, driver Null"
if [ "$status" -ne 0 ] || ! grep -qxF "$expected" <(tr -d '\r' <"$work/output.txt"); then
  echo "starfield ended with $status and printed:"
  cat "$work/output.txt"
  exit 1
fi
echo "$expected"
