#!/bin/sh
# Two test suites on one machine at once must not disturb each other: clones
# the repository's committed state twice into a scratch folder, builds both,
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

shared_tmp="$scratch/a-temporary-folder-with-a-long-name-0123456789abcdef"
mkdir "$shared_tmp"
for clone in a b; do
  git clone -q "$repo" "$scratch/$clone"
  echo "building clone $clone ($preset)"
  (cd "$scratch/$clone" && cmake --preset "$preset" >/dev/null &&
   cmake --build --preset "$preset" >"$scratch/build-$clone.log" 2>&1) ||
    { tail -n 30 "$scratch/build-$clone.log"; exit 1; }
done

echo "running both test suites at once, TMPDIR=$shared_tmp"
for clone in a b; do
  (cd "$scratch/$clone" && TMPDIR="$shared_tmp" ctest --preset "$preset" \
     >"$scratch/test-$clone.log" 2>&1; echo $? >"$scratch/status-$clone") &
done
wait

failed=0
for clone in a b; do
  if [ "$(cat "$scratch/status-$clone")" != 0 ]; then
    echo "test suite of clone $clone failed:"
    grep -A 200 'tests failed' "$scratch/test-$clone.log" || tail -n 40 "$scratch/test-$clone.log"
    failed=1
  else
    grep 'tests passed' "$scratch/test-$clone.log" | sed "s/^/clone $clone: /"
  fi
done
left=$(find "$shared_tmp" -mindepth 1 -maxdepth 1 | head -n 10)
if [ -n "$left" ]; then
  echo "the tests left these in the temporary folder:"
  echo "$left"
  failed=1
fi
exit $failed
