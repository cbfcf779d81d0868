#!/usr/bin/env bash
# The whole program for 64-bit Windows, built on this Debian machine into
# build-windows/: kestrum.exe (the window), kestrum-cli.exe and the tests,
# each with the DLLs it needs beside it, then the installer
# Kestrum-<version>-win64-setup.exe and the portable
# Kestrum-<version>-win64.zip of the same files.
#
#   windows_build.sh [TARGET...]   only the two programs and those targets
#                                  (the tests it names), then the packages
#
# Needs Qt for Windows from scripts/qt_windows.sh; NSIS (makensis) and zip
# for the packages.
set -euo pipefail
cd "$(dirname "$0")/.."

qt=${KESTRUM_QT_WINDOWS:-${XDG_CACHE_HOME:-$HOME/.cache}/kestrum/qt-6.4.2-mingw64}
build=build-windows

fail() {
    echo "windows_build: FAILED: $*" >&2
    exit 1
}
[ -f "$qt/.complete" ] || fail "no Qt for Windows in $qt (scripts/qt_windows.sh builds it)"
command -v x86_64-w64-mingw32-g++-posix >/dev/null || fail "no mingw-w64 compiler (scripts/bootstrap.sh)"

# One build at a time on this machine, whoever starts it.
lock=/tmp/kestrum-build.lock
start=$SECONDS
if [ ! -f "$build/build.ninja" ]; then
    launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    flock "$lock" cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DKESTRUM_QT_WINDOWS="$qt" \
        -DCMAKE_INSTALL_BINDIR=. -DKESTRUM_BENCH=OFF "${launcher[@]}" \
        -DKESTRUM_WERROR="${KESTRUM_WERROR:-ON}" >"$build.configure.log" 2>&1 || {
        tail -n 30 "$build.configure.log" >&2
        fail "configure (log: $build.configure.log)"
    }
    rm -f "$build.configure.log"
fi
if [ $# -gt 0 ]; then
    flock "$lock" cmake --build "$build" --target kestrum kestrum-cli "$@"
else
    flock "$lock" cmake --build "$build"
fi
echo "windows_build: built in $((SECONDS - start)) s"
[ -f "$build/kestrum.exe" ] || fail "no kestrum.exe was built (is the window's Qt found?)"

# --- Packages ---------------------------------------------------------------
command -v makensis >/dev/null || fail "no makensis (Debian package nsis; scripts/bootstrap.sh)"
command -v zip >/dev/null || fail "no zip (scripts/bootstrap.sh)"
package_start=$SECONDS
version=$(sed -nE 's/^CMAKE_PROJECT_VERSION:STATIC=(.*)$/\1/p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
name=Kestrum-$version-win64
stage=$build/stage/$name
rm -rf "$build/stage"
cmake --install "$build" --prefix "$stage" --strip >/dev/null
for needed in kestrum.exe kestrum-cli.exe Qt6Core.dll platforms/qwindows.dll libstdc++-6.dll; do
    [ -f "$stage/$needed" ] || fail "the installed folder lacks $needed"
done
# Nothing of this Linux host: every file installed is a Windows one.
while IFS= read -r -d '' file; do
    x86_64-w64-mingw32-objdump -f "$file" 2>/dev/null | grep -q 'file format pei-x86-64' ||
        fail "not a 64-bit Windows file: $file"
done < <(find "$stage" -type f \( -name '*.exe' -o -name '*.dll' \) -print0)

# The uninstaller removes exactly the files installed, deepest folders last.
uninstall_list=$build/stage/uninstall.nsh
(
    cd "$stage"
    find . -type f | sort | sed -e 's|^\./||' -e 's|/|\\|g' -e 's|.*|    Delete "$INSTDIR\\&"|'
    find . -mindepth 1 -type d | sort -r | sed -e 's|^\./||' -e 's|/|\\|g' -e 's|.*|    RMDir "$INSTDIR\\&"|'
) >"$uninstall_list"

rm -f "$build/$name-setup.exe" "$build/$name.zip"
makensis -V2 -DVERSION="$version" -DSTAGE="$PWD/$stage" -DICON="$PWD/resources/icons/kestrum.ico" \
    -DUNINSTALL_LIST="$PWD/$uninstall_list" -DOUTFILE="$PWD/$build/$name-setup.exe" \
    resources/windows/kestrum.nsi >"$build/stage/makensis.log" 2>&1 || {
    tail -n 30 "$build/stage/makensis.log" >&2
    fail "makensis (log: $build/stage/makensis.log)"
}
(cd "$build/stage" && zip -qr -X "../$name.zip" "$name")
echo "windows_build: $build/$name-setup.exe and $build/$name.zip in $((SECONDS - package_start)) s"
