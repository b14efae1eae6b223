#!/usr/bin/env bash
# Packages the current build tree with the same CPack settings as the release package, unpacks
# the .deb into a scratch root and checks its control fields and files.
set -euo pipefail
build=$1
. "$(dirname "$0")/checks.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null
deb="$scratch/out/hoardwise_2.11_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { fail "no package $deb: $(ls "$scratch/out")"; finish; }

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
check_service "$scratch/root" /usr "ExecStart=/usr/bin/hoardwise-cli run"
finish
