#!/bin/sh
# Installs the build into a scratch root and runs both programs from there.
#   install_test.sh man SOURCE_DIR              the man pages pass mandoc's lint
#   install_test.sh install BUILD_DIR CMAKE     cmake --install with DESTDIR
#   install_test.sh package BUILD_DIR CPACK     the Debian package, unpacked with dpkg -x and
#                                               checked with lintian
# Everything is written below one fresh temporary folder, removed at the end.
# Exit status 77 (skipped) when a tool it needs is missing.
set -eu

mode=$1
where=$2
tool=${3:-}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kevrano-install-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
trap 'exit 1' INT TERM

# Runs the bundled example with the installed kevrano, then checks the tor
# file it wrote with the installed kevrano-tor.
run_installed() {
  prefix=$1
  for f in bin/kevrano bin/kevrano-tor share/man/man1/kevrano.1.gz share/man/man1/kevrano-tor.1.gz \
           share/doc/kevrano/README.md share/doc/kevrano/docs/lens.svg \
           share/doc/kevrano/copyright share/doc/kevrano/changelog.gz \
           share/doc/kevrano/examples/first_lens.txt; do
    [ -f "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
  done
  mkdir "$scratch/run"
  # A short relative script name: a file name answer holds 70 characters.
  cp "$prefix/share/doc/kevrano/examples/first_lens.txt" "$scratch/run/"
  (cd "$scratch/run" && printf '1\nfirst_lens.txt\n' | "$prefix/bin/kevrano" >console.txt)
  [ -s "$scratch/run/report.txt" ] || { echo "kevrano wrote no report"; exit 1; }
  (cd "$scratch/run" && "$prefix/bin/kevrano-tor" check lens.tor) | grep 'no problems'
}

case $mode in
  man)
    command -v mandoc >/dev/null || { echo "SKIPPED: mandoc is missing (apt-get install mandoc)"; exit 77; }
    mandoc -Tlint -W warning "$where/docs/kevrano.1" "$where/docs/kevrano-tor.1"
    ;;
  install)
    DESTDIR="$scratch/root" "$tool" --install "$where" --prefix /opt/kevrano
    run_installed "$scratch/root/opt/kevrano"
    ;;
  package)
    command -v dpkg >/dev/null || { echo "SKIPPED: dpkg is missing"; exit 77; }
    unset DESTDIR
    "$tool" -G DEB -B "$scratch/package" --config "$where/CPackConfig.cmake" >"$scratch/cpack.log" ||
      { cat "$scratch/cpack.log"; exit 1; }
    set -- "$scratch"/package/*.deb
    [ -f "$1" ] || { echo "no package written"; cat "$scratch/cpack.log"; exit 1; }
    dpkg-deb --field "$1" Package Version Depends
    dpkg -x "$1" "$scratch/root"
    run_installed "$scratch/root/usr"
    # The Debian package checker, where it is installed: no error and no
    # warning but the placeholder contact address (README, Installing).
    if command -v lintian >/dev/null; then
      status=0
      # lintian leaves cache folders in TMPDIR: give it one inside the scratch folder.
      mkdir "$scratch/lintian-tmp"
      TMPDIR="$scratch/lintian-tmp" lintian --fail-on error,warning --suppress-tags bogus-mail-host,bogus-mail-host-in-debian-changelog \
        "$1" >"$scratch/lintian.log" 2>&1 || status=$?
      grep -v 'root privileges' "$scratch/lintian.log" || true
      [ "$status" -eq 0 ] || { echo "lintian found faults in the package"; exit 1; }
    else
      echo "lintian is missing: the package was not checked (apt-get install lintian)"
    fi
    ;;
  *)
    echo "usage: $0 man|install|package DIR [TOOL]" >&2
    exit 2
    ;;
esac
