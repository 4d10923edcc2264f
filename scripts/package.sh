#!/usr/bin/env bash
# Makes the Debian package build/package/vokra_<version>_<arch>.deb: a release build with Debian's
# hardening flags, then CPack's DEB generator over the same install rules as `cmake --install`,
# with the Depends line worked out by dpkg-shlibdeps. The package is then unpacked into a scratch
# root, its contents checked, vokra-cli run from there, and lintian --pedantic must find no error
# and no warning (its notes are printed).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh" build package

build="$root/build/release"
out="$root/build/package"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
# Debian's flags for a package build, bind-now included: fortified functions, read-only
# relocations, stack protector.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOKRA_TESTS=OFF \
      -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
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
for f in usr/bin/vokra usr/bin/vokra-cli usr/share/vokra/manual/manual.html \
         usr/share/doc/vokra/copyright usr/share/doc/vokra/changelog.gz \
         usr/share/man/man1/vokra.1.gz usr/share/man/man1/vokra-cli.1.gz \
         usr/share/applications/vokra.desktop usr/share/icons/hicolor/scalable/apps/vokra.svg \
         usr/share/mime/packages/vokra.xml; do
    if [ ! -f "$scratch/$f" ]; then
        echo "package.sh: /$f is missing from the package" >&2
        exit 1
    fi
done
"$scratch/usr/bin/vokra-cli" --version

# Errors and warnings fail the package; notes (I:) and pedantic remarks (P:) are shown. One note
# is expected: package-contains-documentation-outside-usr-share-doc, the manual Help opens, kept in
# /usr/share/vokra so that Help works where /usr/share/doc is left out.
echo "== lintian --pedantic"
report="$(lintian --pedantic --display-info --tag-display-limit 0 "$deb" 2>/dev/null || true)"
[ -n "$report" ] && echo "$report"
if grep -qE '^[EW]: ' <<<"$report"; then
    echo "package.sh: lintian reports errors or warnings" >&2
    exit 1
fi

# The Blender add-on: its folder, its zip for Blender's "Install add-on" (also copied beside the
# .deb), and the link that puts it in Debian's Blender's list of add-ons.
addon="$scratch/usr/share/vokra/blender"
version="$(dpkg-deb --field "$deb" Version)"
link="$scratch/usr/share/blender/scripts/addons/vokra_blender"
if [ ! -f "$addon/vokra_blender/__init__.py" ] || [ ! -f "$addon/vokra_blender-$version.zip" ] ||
   [ ! -L "$link" ] || [ ! -f "$link/__init__.py" ]; then
    echo "package.sh: the Blender add-on (folder, zip or link) is missing from the package" >&2
    exit 1
fi
rm -f "$out"/vokra_blender-*.zip
cp "$addon/vokra_blender-$version.zip" "$out/"
ls "$out"/vokra_blender-*.zip
