#!/usr/bin/env bash
# The Debian package, made and checked: cpack -G DEB from build/, the
# software-centre description validated, the package unpacked into a
# scratch root (dpkg -x) and its files and programs checked there, and
# lintian run on it. Needs a finished build/ (scripts/bootstrap.sh). Without
# the tools it fails under CI and skips elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."

unavailable() {
    if [ -n "${CI:-}" ]; then
        echo "package_test: FAILED: $1" >&2
        exit 1
    fi
    echo "package_test: SKIPPED: $1 (scripts/bootstrap.sh installs what is missing)"
    exit 0
}
for tool in cpack dpkg-deb dpkg-shlibdeps lintian appstreamcli; do
    command -v "$tool" >/dev/null || unavailable "no $tool"
done
[ -x build/kestrum ] && [ -x build/kestrum-sim ] || unavailable "build/ has no kestrum and kestrum-sim"

failures=0
fail() {
    echo "package_test: FAILED: $1" >&2
    failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
start=$SECONDS
(cd build && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log" >&2
    unavailable "cpack could not make the package"
}
deb=$(ls "$work"/out/kestrum_*.deb)
echo "package_test: made $(basename "$deb") in $((SECONDS - start)) s"

root="$work/root"
dpkg -x "$deb" "$root"
programs=(kestrum kestrum-sim)
# The command-line tool, once it is built, is packaged too.
[ -x build/kestrum-cli ] && programs+=(kestrum-cli)
expected=(usr/share/applications/kestrum.desktop
          usr/share/icons/hicolor/scalable/apps/kestrum.svg
          usr/share/metainfo/com.quorvel.kestrum.metainfo.xml
          usr/share/doc/kestrum/copyright usr/share/doc/kestrum/changelog.gz
          usr/share/man/man1/kestrum.1.gz usr/share/man/man1/kestrum-sim.1.gz)
for p in "${programs[@]}"; do
    expected+=("usr/bin/$p")
done
for size in 16 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/kestrum.png")
done
for file in "${expected[@]}"; do
    [ -f "$root/$file" ] || fail "$file is not in the package"
done
for p in "${programs[@]}"; do
    [ -x "$root/usr/bin/$p" ] || fail "usr/bin/$p is not executable"
done

# Depends comes from dpkg-shlibdeps: the C++ runtime and Qt at least.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6widgets6; do
    grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done

appstreamcli validate --no-net "$root/usr/share/metainfo/com.quorvel.kestrum.metainfo.xml" \
    >"$work/appstream.log" 2>&1 || {
    cat "$work/appstream.log" >&2
    fail "the AppStream description does not validate"
}

# The packaged simulator runs from where the package put it.
if help=$("$root/usr/bin/kestrum-sim" --help 2>&1); then
    [[ "$help" == "Usage: kestrum-sim"* ]] || fail "kestrum-sim --help printed: ${help:0:80}"
else
    fail "the packaged kestrum-sim --help failed: ${help:0:200}"
fi

# Every error and warning counts; notes and the note about running as
# root do not.
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
if grep -E '^[EW]: ' "$work/lintian.log" >&2; then
    fail "lintian reports the lines above"
fi

if [ "$failures" -ne 0 ]; then
    echo "package_test: $failures failed"
    exit 1
fi
echo "package_test: package checked, lintian clean, in $((SECONDS - start)) s"
