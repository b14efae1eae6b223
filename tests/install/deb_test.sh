#!/usr/bin/env bash
# Checks a Debian package's control fields and files, unpacked into a scratch root:
#   deb_test.sh BUILD       packages that build tree with the release package's CPack settings
#   deb_test.sh --deb FILE  checks the package made by scripts/package, and runs lintian on it
set -euo pipefail
. "$(dirname "$0")/checks.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

if [ "$1" = --deb ]; then
    deb=$2
else
    cpack --config "$1/CPackConfig.cmake" -B "$scratch/out" >/dev/null
    deb="$scratch/out/hoardwise_2.11_$(dpkg --print-architecture).deb"
fi
[ -f "$deb" ] || { fail "no package $deb"; finish; }

expect_eq Package "$(dpkg-deb -f "$deb" Package)" hoardwise
expect_eq Version "$(dpkg-deb -f "$deb" Version)" 2.11
expect_eq Maintainer "$(dpkg-deb -f "$deb" Maintainer)" \
    "Hoardwise developers <hoardwise@example.org>"
expect_eq Section "$(dpkg-deb -f "$deb" Section)" net
description=$(dpkg-deb -f "$deb" Description)
[ "$(echo "$description" | wc -l)" -ge 3 ] || fail "no long description: $description"
# Dependencies come from the binary's libraries, so the Qt libraries it links must be there.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6widgets6 libqt6svg6; do
    [[ ", $depends," == *", $lib"[\ ,]* ]] || fail "Depends lacks $lib: $depends"
done
expect_eq "owners other than root" "$(dpkg-deb -c "$deb" | awk '$2 != "root/root"')" ""

dpkg -x "$deb" "$scratch/root"
check_tree "$scratch/root" /usr
check_desktop_data "$scratch/root" /usr "Exec=/usr/bin/hoardwise"
check_service "$scratch/root" /usr /usr/bin/hoardwise-cli
check_man_pages "$scratch/root" /usr
check_completion "$scratch/root" /usr
expect_eq "copyright format" "$(head -1 "$scratch/root/usr/share/doc/hoardwise/copyright")" \
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"

# lintian judges the package as it is shipped (a build tree's package is a debug build); every
# error and warning fails, and none is suppressed.
if [ "$1" = --deb ]; then
    report=$(lintian --fail-on error,warning "$deb" 2>&1) || fail "lintian: $report"
fi
finish
