#!/usr/bin/env bash
# Builds Qt for 64-bit Windows from the source of the very Qt Debian ships
# (its moc, rcc and uic are that version and serve as the host tools), as
# shared DLLs, and installs it under
#   ${XDG_CACHE_HOME:-~/.cache}/kestrum/qt-6.4.2-mingw64
# A complete prefix is reused. Only qtbase is built: Debian's archive serves
# no source of the other Qt modules the window could use, so the program
# needs only Core, Gui and Widgets (and Test for its tests).
#
# The source comes through a private apt configuration holding one deb-src
# entry, so the machine's own sources list and package lists stay untouched.
set -euo pipefail
cd "$(dirname "$0")/.."

qt_version=6.4.2
cache=${XDG_CACHE_HOME:-$HOME/.cache}/kestrum
prefix=$cache/qt-$qt_version-mingw64
work=$cache/qt-$qt_version-work
stamp=$prefix/.complete
triple=x86_64-w64-mingw32
host_qt=/usr/lib/x86_64-linux-gnu
jobs=${KESTRUM_QT_JOBS:-$(nproc)}

fail() {
    echo "qt_windows: FAILED: $*" >&2
    exit 1
}
took() {
    echo "qt_windows: $1 took $(($SECONDS - $2)) s"
}

if [ -f "$stamp" ]; then
    echo "qt_windows: reusing $prefix"
    exit 0
fi

for tool in apt-get dpkg-source cmake ninja "$triple-g++-posix"; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/bootstrap.sh installs it)"
done
host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
case "$host_version" in
6.4.2*) ;;
*) fail "the host tools must be Debian's Qt $qt_version (qt6-base-dev is '${host_version:-missing}')" ;;
esac

mkdir -p "$work"
total_start=$SECONDS

# --- Fetch the source -------------------------------------------------------
fetch_start=$SECONDS
src=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-6.4.2*' | head -n 1)
if [ -z "$src" ] || [ ! -f "$src/CMakeLists.txt" ]; then
    apt_dir=$work/apt
    mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
    : >"$apt_dir/sources.list"
    cat >"$apt_dir/sources.list.d/debian-src.sources" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list"
                 -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
                 -o "Dir::State::Lists=$apt_dir/lists"
                 -o "Dir::Cache=$apt_dir/cache"
                 -o "APT::Sandbox::User=$(id -un)")
    echo "qt_windows: fetching the source of qt6-base from Debian bookworm"
    apt-get "${apt_options[@]}" -qq update ||
        fail "apt-get update of the deb-src entry failed (network or deb.debian.org unreachable)"
    (cd "$work" && apt-get "${apt_options[@]}" -qq --only-source source "qt6-base=$qt_version+dfsg-10" ||
        apt-get "${apt_options[@]}" -qq --only-source source qt6-base) ||
        fail "apt-get source qt6-base failed: the source could not be fetched"
    src=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-6.4.2*' | head -n 1)
    [ -n "$src" ] && [ -f "$src/CMakeLists.txt" ] || fail "the fetched source has no qt6-base-$qt_version folder"
fi
took "fetching the source" "$fetch_start"

# --- Configure --------------------------------------------------------------
# Every feature is decided here, at once: changing one later rebuilds most of
# Gui. tabletevent is off because Debian's tarball lacks the wintab header the
# Windows platform plugin would include; dynamicgl goes with OpenGL.
build=$work/build
configure_start=$SECONDS
if [ ! -f "$build/build.ninja" ]; then
    rm -rf "$build"
    cmake -S "$src" -B "$build" -G Ninja \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_SYSTEM_NAME=Windows \
        -DCMAKE_SYSTEM_PROCESSOR=x86_64 \
        -DCMAKE_C_COMPILER="$triple-gcc-posix" \
        -DCMAKE_CXX_COMPILER="$triple-g++-posix" \
        -DCMAKE_RC_COMPILER="$triple-windres" \
        -DCMAKE_FIND_ROOT_PATH="/usr/$triple" \
        -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER \
        -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
        -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY \
        -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY \
        -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR="$host_qt/cmake" \
        -DBUILD_SHARED_LIBS=ON \
        -DQT_BUILD_EXAMPLES=OFF \
        -DQT_BUILD_TESTS=OFF \
        -DFEATURE_sql=OFF \
        -DFEATURE_network=OFF \
        -DFEATURE_dbus=OFF \
        -DFEATURE_opengl=OFF \
        -DFEATURE_printsupport=OFF \
        -DFEATURE_concurrent=OFF \
        -DFEATURE_xml=OFF \
        -DFEATURE_tabletevent=OFF \
        -DFEATURE_dynamicgl=OFF \
        >"$work/configure.log" 2>&1 || {
        tail -n 40 "$work/configure.log" >&2
        fail "configuring qtbase failed (log: $work/configure.log)"
    }
fi
took "configuring" "$configure_start"

# --- Build and install ------------------------------------------------------
build_start=$SECONDS
echo "qt_windows: building qtbase with $jobs jobs (log: $work/build.log)"
cmake --build "$build" --parallel "$jobs" >"$work/build.log" 2>&1 || {
    tail -n 40 "$work/build.log" >&2
    fail "building qtbase failed (log: $work/build.log)"
}
took "building" "$build_start"

install_start=$SECONDS
cmake --install "$build" >"$work/install.log" 2>&1 || {
    tail -n 40 "$work/install.log" >&2
    fail "installing qtbase failed (log: $work/install.log)"
}
for needed in bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/Qt6Test.dll \
    plugins/platforms/qwindows.dll; do
    [ -f "$prefix/$needed" ] || fail "the installed prefix lacks $needed"
done
touch "$stamp"
took "installing" "$install_start"
took "the whole Qt for Windows" "$total_start"
echo "qt_windows: Qt for Windows in $prefix ($(du -sh "$prefix" | cut -f1))"
