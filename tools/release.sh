#!/usr/bin/env bash
# Builds the release of the last commit: build/release/deskclock-<version>.zip
# with the 32-bit clock (the one to ship), the 64-bit one, the guide for the
# person who downloads it and the licence, and next to it both executables
# and SHA256SUMS. The commit is built twice, in two fresh copies in different
# folders one after the other, and the release is written only if both give
# the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wine-session.sh

install_packages $RUN_PACKAGES g++-mingw-w64-i686 git zip unzip
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "Note: uncommitted changes are not part of the release; it is built from $(git rev-parse --short HEAD)." >&2
fi
version=$(git show HEAD:CMakeLists.txt | sed -n 's/^project(deskclock VERSION \([0-9.]*\).*/\1/p')
name=deskclock-$version
# Every file in the zip carries the time of the last commit.
epoch=$(git log -1 --format=%ct HEAD)
work=$(mktemp -d /tmp/deskclock-release.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Builds the commit in a fresh copy under the given folder and leaves the
# zip and both executables in its out/.
build_release() {
    local top=$1 src=$1/src out=$1/out
    mkdir -p "$src" "$out/$name"
    git archive HEAD | tar -x -C "$src"
    for preset in win32 win64; do
        (cd "$src" && cmake --preset $preset -DDESKCLOCK_WINE_TESTS=OFF >/dev/null &&
            cmake --build --preset $preset --target deskclock -j"$(nproc)" >/dev/null)
    done
    cp "$src/build/win32/deskclock.exe" "$out/deskclock.exe"
    cp "$src/build/win64/deskclock.exe" "$out/deskclock-x64.exe"
    cp "$out/deskclock.exe" "$out/deskclock-x64.exe" "$out/$name/"
    # Windows line ends: Notepad before Windows 10 shows bare ones as one line.
    sed 's/$/\r/' "$src/docs/guide.txt" >"$out/$name/README.txt"
    sed 's/$/\r/' "$src/LICENSE" >"$out/$name/LICENSE"
    # Fixed times, permissions and order, and no owner or extra time fields
    # (-X): nothing of the machine or the moment goes into the zip.
    chmod 644 "$out/$name"/*
    touch -d "@$epoch" "$out/$name"/*
    (cd "$out" && TZ=UTC zip -q -X -D "$name.zip" \
        "$name/deskclock.exe" "$name/deskclock-x64.exe" "$name/README.txt" "$name/LICENSE")
    rm -rf "$out/$name"
    (cd "$out" && sha256sum "$name.zip" deskclock.exe deskclock-x64.exe > SHA256SUMS)
}

build_release "$work/first"
# A later build as well as another folder: the second starts in a later second.
first=$(date +%s)
await "a later second than the first build's" eval '[ "$(date +%s)" -gt "$first" ]'
build_release "$work/second/elsewhere"
echo "Build 1 ($work/first/src):"
sed 's/^/  /' "$work/first/out/SHA256SUMS"
echo "Build 2 ($work/second/elsewhere/src):"
sed 's/^/  /' "$work/second/elsewhere/out/SHA256SUMS"
for file in "$name.zip" deskclock.exe deskclock-x64.exe; do
    if ! cmp "$work/first/out/$file" "$work/second/elsewhere/out/$file"; then
        echo "Not reproducible: the two builds of $file differ." >&2
        exit 1
    fi
done
echo "Both builds are byte for byte the same."

rm -rf build/release
mkdir -p build/release
cp "$work/first/out/$name.zip" "$work/first/out/deskclock.exe" \
   "$work/first/out/deskclock-x64.exe" "$work/first/out/SHA256SUMS" build/release/
echo "Release: $PWD/build/release"
(cd build/release && sha256sum -c SHA256SUMS)
unzip -Z -l "build/release/$name.zip"
