#!/bin/sh
# Runs one whole design with its tor file under valgrind's memory checker, in
# a temporary folder of its own that is removed at the end.
#   valgrind_test.sh VALGRIND KEVRANO SCRIPT
set -eu
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kevrano-valgrind-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
trap 'exit 1' INT TERM
# The script by a short name: a file name answer holds 70 characters.
cp "$3" "$scratch/answers.txt"
cd "$scratch"
printf '1\nanswers.txt\n' |
  "$1" -q --error-exitcode=9 --leak-check=full --errors-for-leak-kinds=definite,indirect "$2" >/dev/null
test -s lens.tor
