#!/usr/bin/env bash
# Installs what the build and the tests need (Debian packages) when it is
# missing, then configures and builds into build/: everything, or only the
# targets named as arguments. Quick when nothing changed.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev qt6-base-dev
          libgl-dev clang libclang-rt-14-dev xvfb xauth x11-utils srecord
          nlohmann-json3-dev
          g++-mingw-w64-x86-64-posix wine wine64 googletest python3 lintian appstream dpkg-dev
          nsis zip xdotool)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "bootstrap: installing ${missing[*]}"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo="sudo"
        else
            echo "bootstrap: need root or sudo to install: ${missing[*]}" >&2
            exit 1
        fi
    fi
    export DEBIAN_FRONTEND=noninteractive
    if ! { $sudo apt-get update -qq && $sudo apt-get install -y -qq "${missing[@]}"; }; then
        echo "bootstrap: could not install ${missing[*]}; install them and run again" >&2
        exit 1
    fi
fi

build_type=${KESTRUM_BUILD_TYPE:-RelWithDebInfo}
if [ ! -f build/build.ninja ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="$build_type" \
        -DKESTRUM_WERROR="${KESTRUM_WERROR:-OFF}"
fi
if [ $# -gt 0 ]; then
    cmake --build build --target "$@"
else
    cmake --build build
fi
