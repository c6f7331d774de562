#!/bin/sh
# Checks for the Debian packages that building and testing need. Run as root,
# it installs the missing ones with apt-get (after apt-get update); otherwise
# it prints the apt-get line to run and carries on, so that tools installed
# some other way still serve.
#
#   scripts/deps.sh build   compiler, CMake, Ninja and the libraries (make demo, make build)
#   scripts/deps.sh test    build, plus mandoc for the man page check, dpkg-dev and lintian for
#                           the package and valgrind for the memory check
#   scripts/deps.sh bench   build, plus Google Benchmark, and valgrind to count instructions
#   scripts/deps.sh ci      test, plus Chromium for the drawing test and clang for the fuzzers
#
# KEVRANO_NO_DEPS=1 skips the check.
set -eu

level=${1:-build}
packages="cmake ninja-build g++ libgtest-dev libcli11-dev libtomlplusplus-dev nlohmann-json3-dev libpng-dev"
# The solid (kevrano-tor step) and the drawing (kevrano-tor dxf) for the
# workshop; the build leaves out a command whose library is missing.
packages="$packages pkgconf libocct-data-exchange-dev libocct-modeling-algorithms-dev"
packages="$packages libocct-modeling-data-dev libocct-foundation-dev libdxflib-dev"
case $level in
  build) ;;
  test) packages="$packages mandoc dpkg-dev lintian valgrind" ;;
  bench) packages="$packages libbenchmark-dev valgrind" ;;
  ci) packages="$packages mandoc dpkg-dev lintian valgrind chromium clang" ;;
  *) echo "usage: $0 [build|test|bench|ci]" >&2; exit 2 ;;
esac

[ "${KEVRANO_NO_DEPS:-}" = 1 ] && exit 0
# Not a Debian-like system: leave it to CMake to say what is missing.
command -v dpkg-query >/dev/null 2>&1 || exit 0

missing=
for p in $packages; do
  dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null | grep -q '^ii' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "deps: missing Debian packages:$missing" >&2
  echo "deps: install them with: sudo apt-get update && sudo apt-get install -y$missing" >&2
  exit 0
fi
echo "deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086 # one word per package
apt-get install -y -qq --no-install-recommends $missing
