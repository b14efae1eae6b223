#!/usr/bin/env bash
# Installs the build into a scratch prefix with a blank in its path and checks the files the
# desktop looks for, their modes, and the menu entry and AppStream data.
set -euo pipefail
build=$1
. "$(dirname "$0")/checks.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

prefix="$scratch/my apps"
cmake --install "$build" --prefix "$prefix" >/dev/null
check_tree "$prefix" ""
check_desktop_data "$prefix" "" "Exec=\"$prefix/bin/hoardwise\""
check_service "$prefix" "" "ExecStart=\"$prefix/bin/hoardwise-cli\" run"
# systemd's own reading of the unit, which also finds the program it names.
report=$(systemd-analyze verify --man=no "$prefix/lib/systemd/user/hoardwise.service" 2>&1) ||
    fail "systemd-analyze verify: $report"
cmp -s "$build/hoardwise" "$prefix/bin/hoardwise" || fail "installed program is not the built one"
finish
