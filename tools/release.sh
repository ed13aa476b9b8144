#!/usr/bin/env bash
# Builds the release zip: the 32-bit clock (the one to ship), the 64-bit one,
# the README and the licence, in build/deskclock-<version>.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wine-session.sh

install_packages
for preset in win32 win64; do
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset --target deskclock -j"$(nproc)" >/dev/null
done
version=$(sed -n 's/^project(deskclock VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=deskclock-$version
stage=build/release/$name
rm -rf build/release
mkdir -p "$stage"
cp build/win32/deskclock.exe "$stage/deskclock.exe"
cp build/win64/deskclock.exe "$stage/deskclock-x64.exe"
cp README.md LICENSE "$stage/"
rm -f "build/$name.zip"
(cd build/release && cmake -E tar cf "../$name.zip" --format=zip "$name")
echo "Release: $PWD/build/$name.zip"
cmake -E tar tvf "build/$name.zip"
