#!/usr/bin/env bash
# Installs whatever Debian packages Vokra needs and are missing. Usage: scripts/deps.sh GROUP...
# Groups: build (compiler, ccache, CMake, Qt 6, SDL2, libsndfile, soxr, libespeak-ng), test (GoogleTest, Blender
# for the add-on's tests), bench (Google Benchmark, sox as the conversion baseline), fuzz (clang 14
# with libFuzzer), shots (Xvfb, xdotool, ImageMagick, espeak-ng for screenshots), package
# (dpkg-shlibdeps and file, which CPack's DEB generator runs; help2man for the manual pages;
# lintian to check the package), train (libespeak-ng, Festival
# and its voices, sox, lame, opus-tools and numpy for shapes/training/train.sh).
set -euo pipefail

pkgs_build="g++ cmake ninja-build pkg-config qt6-base-dev libsdl2-dev libsndfile1-dev libsoxr-dev libespeak-ng-dev espeak-ng-data fonts-dejavu-core ccache nlohmann-json3-dev"
pkgs_test="libgtest-dev libgmock-dev blender"
pkgs_bench="libbenchmark-dev sox"
pkgs_fuzz="clang-14 libclang-rt-14-dev"
pkgs_shots="xvfb xauth xdotool imagemagick espeak-ng sox x11-utils"
pkgs_package="dpkg-dev file lintian help2man"
# Festival's voices built from real speakers' recordings, in eight languages; lame and opus-tools
# for the lossy coding of the training recordings.
pkgs_train="libespeak-ng-dev espeak-ng-data sox python3-numpy pkg-config cmake ninja-build g++
    festival festvox-czech-dita festvox-czech-krb festvox-czech-machac festvox-czech-ph
    festvox-suopuhe-lj festvox-suopuhe-mv festvox-italp16k festvox-itapc16k festvox-hi-nsk
    festival-hi festival-mr festival-te festvox-mr-nsk festvox-te-nsk
    festvox-ca-ona-hts festvox-kdlpc16k lame opus-tools"

wanted=""
for group in "$@"; do
    var="pkgs_${group}"
    wanted="$wanted ${!var}"
done

missing=""
for p in $wanted; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
else
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
