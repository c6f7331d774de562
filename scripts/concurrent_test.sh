#!/bin/sh
# Two test suites on one machine at once must not disturb each other. Builds
# this checkout and a fresh clone of its committed state in a scratch folder,
# then runs both test suites at the same time, sharing one temporary folder
# whose path is long (as some machines have). Passes when both suites pass
# and the shared temporary folder is left empty.
#
#   scripts/concurrent_test.sh [PRESET]     (default dev)
set -eu

preset=${1:-dev}
repo=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kevrano-concurrent-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
trap 'exit 1' INT TERM
# Open to every user, as /tmp is: some tests run the program as another user.
chmod 755 "$scratch"
shared_tmp="$scratch/a-temporary-folder-with-a-long-name-0123456789abcdef"
mkdir -m 1777 "$shared_tmp"

git clone -q "$repo" "$scratch/clone"
for tree in "$repo" "$scratch/clone"; do
  echo "building $tree ($preset)"
  (cd "$tree" && cmake --preset "$preset" >/dev/null &&
   cmake --build --preset "$preset" >"$scratch/build.log" 2>&1) ||
    { tail -n 30 "$scratch/build.log"; exit 1; }
done

echo "running both test suites at once, TMPDIR=$shared_tmp"
run_suite() {
  if (cd "$1" && TMPDIR="$shared_tmp" ctest --preset "$preset" >"$scratch/test-$2.log" 2>&1); then
    echo 0 >"$scratch/status-$2"
  else
    echo 1 >"$scratch/status-$2"
  fi
}
run_suite "$repo" checkout &
run_suite "$scratch/clone" clone &
wait

failed=0
for suite in checkout clone; do
  if [ "$(cat "$scratch/status-$suite")" != 0 ]; then
    echo "test suite of the $suite failed:"
    sed -n '/tests passed/,$p' "$scratch/test-$suite.log"
    failed=1
  else
    grep 'tests passed' "$scratch/test-$suite.log" | sed "s/^/$suite: /"
  fi
done
left=$(find "$shared_tmp" -mindepth 1 -maxdepth 1 | head -n 10)
if [ -n "$left" ]; then
  echo "the tests left these in the temporary folder:"
  echo "$left"
  failed=1
fi
exit $failed
