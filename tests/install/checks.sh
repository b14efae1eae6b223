# Checks shared by the install tests: a failure is printed and counted, and the test goes on.
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

expect_eq() {  # what, actual, expected
    [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"
}

# The files the desktop looks for below a prefix, each with its mode.
expected_files() {
    echo "755 bin/hoardwise"
    echo "755 bin/hoardwise-cli"
    echo "644 lib/systemd/user/hoardwise.service"
    echo "644 share/applications/hoardwise.desktop"
    echo "644 share/icons/hicolor/scalable/apps/hoardwise.svg"
    for size in 16 32 48 64 128 256; do
        echo "644 share/icons/hicolor/${size}x${size}/apps/hoardwise.png"
    done
    echo "644 share/metainfo/org.example.hoardwise.metainfo.xml"
}

# Every expected file and nothing else, with its mode; every folder 755; each PNG of the size
# its folder names.
check_tree() {  # root, prefix below the root
    local root=$1 prefix=$2
    local lead=${prefix#/}${prefix:+/}
    expect_eq "files below $root" \
        "$(cd "$root" && find . -type f -printf '%m %P\n' | sort)" \
        "$(expected_files | sed "s|^\([0-9]*\) |\1 $lead|" | sort)"
    expect_eq "folders not 755" "$(find "$root" -mindepth 1 -type d ! -perm 755)" ""
    local size
    for size in 16 32 48 64 128 256; do
        local png="$root$prefix/share/icons/hicolor/${size}x${size}/apps/hoardwise.png"
        [ -f "$png" ] || continue
        # PNG header: width and height as 4-byte big-endian numbers from byte 16.
        expect_eq "size of $png" "$(od -An -tu1 -j16 -N8 "$png" | tr -s ' ' |
            awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')" \
            "${size}x${size}"
    done
}

# The menu entry starts the program at its installed path, uses our icon, and is the one the
# AppStream data launches; both files pass their validators.
check_desktop_data() {  # root, prefix below the root, Exec line expected
    local share=$1$2/share
    local entry=$share/applications/hoardwise.desktop
    local metainfo=$share/metainfo/org.example.hoardwise.metainfo.xml
    expect_eq "Exec line" "$(grep '^Exec=' "$entry")" "$3"
    expect_eq "Icon line" "$(grep '^Icon=' "$entry")" "Icon=hoardwise"
    expect_eq "launchable" "$(grep -o '<launchable type="desktop-id">[^<]*' "$metainfo")" \
        '<launchable type="desktop-id">hoardwise.desktop'
    expect_eq "component id" "$(grep -o '<id>[^<]*' "$metainfo")" "<id>org.example.hoardwise"
    # Its exit code ignores hints and the errors it will make fatal only later: any word counts.
    local report
    report=$(desktop-file-validate "$entry" 2>&1) && [ -z "$report" ] ||
        fail "desktop-file-validate: $report"
    report=$(appstreamcli validate --no-net --strict "$metainfo" 2>&1) ||
        fail "appstreamcli validate: $report"
}

# The user service starts the command line at its installed path.
check_service() {  # root, prefix below the root, ExecStart line expected
    local unit=$1$2/lib/systemd/user/hoardwise.service
    expect_eq "ExecStart line" "$(grep '^ExecStart=' "$unit")" "$3"
    expect_eq "Restart line" "$(grep '^Restart=' "$unit")" "Restart=on-failure"
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}
