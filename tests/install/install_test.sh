#!/usr/bin/env bash
# Installs the build into a scratch prefix with a blank in its path and checks the files the
# desktop looks for, their modes, the menu entry and AppStream data, the user units, the manual
# pages and the completion.
set -euo pipefail
build=$1
. "$(dirname "$0")/checks.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

prefix="$scratch/my apps"
cmake --install "$build" --prefix "$prefix" >/dev/null
check_tree "$prefix" ""
check_desktop_data "$prefix" "" "Exec=\"$prefix/bin/hoardwise\""
check_service "$prefix" "" "\"$prefix/bin/hoardwise-cli\""
check_man_pages "$prefix" ""
check_completion "$prefix" ""
cmp -s "$build/hoardwise" "$prefix/bin/hoardwise" || fail "installed program is not the built one"
finish
