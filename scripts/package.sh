#!/usr/bin/env bash
# Makes the Debian package build/package/vokra_<version>_<arch>.deb: a release build, then CPack's
# DEB generator over the same install rules as `cmake --install`, with the Depends line worked out
# by dpkg-shlibdeps. The package is then unpacked into a scratch root, its contents checked and
# vokra-cli run from there.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh" build package

build="$root/build/release"
out="$root/build/package"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOKRA_TESTS=OFF \
      "${launcher[@]}" >/dev/null
cmake --build "$build"

mkdir -p "$out"
rm -f "$out"/vokra_*.deb
cpack --config "$build/CPackConfig.cmake" -B "$out"
rm -rf "$out/_CPack_Packages"
deb="$(ls "$out"/vokra_*.deb)"
echo "== $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
for f in usr/bin/vokra usr/bin/vokra-cli usr/share/doc/vokra/manual.html \
         usr/share/applications/vokra.desktop usr/share/icons/hicolor/scalable/apps/vokra.svg \
         usr/share/mime/packages/vokra.xml; do
    if [ ! -f "$scratch/$f" ]; then
        echo "package.sh: /$f is missing from the package" >&2
        exit 1
    fi
done
"$scratch/usr/bin/vokra-cli" --version

# The Blender add-on beside the .deb, as a zip for Blender's "Install add-on".
if [ ! -f "$scratch/usr/share/vokra/blender/vokra_blender/__init__.py" ]; then
    echo "package.sh: the Blender add-on is missing from the package" >&2
    exit 1
fi
rm -f "$out"/vokra_blender-*.zip
python3 "$root/integrations/blender/make_zip.py" "$out/vokra_blender-$(dpkg-deb --field "$deb" Version).zip"
ls "$out"/vokra_blender-*.zip
