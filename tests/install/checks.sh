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
    echo "644 lib/systemd/user/hoardwise@.service"
    echo "644 share/bash-completion/completions/hoardwise-cli"
    echo "644 share/doc/hoardwise/copyright"
    echo "644 share/doc/hoardwise/changelog.gz"
    echo "644 share/man/man1/hoardwise.1.gz"
    echo "644 share/man/man1/hoardwise-cli.1.gz"
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

# The user services start the command line at its installed path, the template's instance
# naming its settings file; systemd reads both without a word (an unknown key is only a
# warning), finds the programs and the manual page they name, and rates them as hardened.
check_service() {  # root, prefix below the root, command line expected (quoted as the unit)
    local units=$1$2/lib/systemd/user unit report
    expect_eq "ExecStart line" "$(grep '^ExecStart=' "$units/hoardwise.service")" \
        "ExecStart=$3 run"
    expect_eq "template's ExecStart line" "$(grep '^ExecStart=' "$units/hoardwise@.service")" \
        "ExecStart=$3 --settings %E/hoardwise/%i.INI run"
    # A copy whose programs lie below the root, where the root is not / (an unpacked package).
    local copies
    copies=$(mktemp -d)
    for unit in "$units/hoardwise.service" "$units/hoardwise@.service"; do
        expect_eq "Restart line" "$(grep '^Restart=' "$unit")" "Restart=on-failure"
        sed "s|^ExecStart=$2/bin/|ExecStart=$1$2/bin/|" "$unit" >"$copies/${unit##*/}"
        report=$(MANPATH=$1$2/share/man systemd-analyze verify --man=yes "$copies/${unit##*/}" 2>&1) &&
            [ -z "$report" ] || fail "systemd-analyze verify $unit: $report"
        # "-> Overall exposure level for hoardwise.service: 2.5 OK"
        report=$(systemd-analyze security --offline=true "$unit" 2>&1 | grep 'Overall exposure')
        awk -v line="$report" 'BEGIN {
            n = split(line, w, " "); for (i = 1; i <= n; i++) if (w[i] ~ /:$/) exit !(w[i + 1] <= 5.0)
            exit 1 }' || fail "exposure of $unit above 5.0: $report"
    done
    rm -rf "$copies"
}

# Both manual pages pass mandoc's checks at every level, name their program and document the
# exit codes (the command line's) or point to the command line (the window's).
check_man_pages() {  # root, prefix below the root
    local man=$1$2/share/man/man1 page report
    for page in hoardwise hoardwise-cli; do
        report=$(mandoc -T lint -W style "$man/$page.1.gz" 2>&1) || fail "mandoc $page: $report"
        zcat "$man/$page.1.gz" | grep -q "^$page \\\\- " || fail "$page(1) names another program"
    done
    local cli window
    cli=$(zcat "$man/hoardwise-cli.1.gz") window=$(zcat "$man/hoardwise.1.gz")
    grep -q '^\.SH EXIT STATUS' <<<"$cli" || fail "hoardwise-cli(1) lacks the exit codes"
    ! grep -q '^\.SH EXIT STATUS' <<<"$window" || fail "hoardwise(1) holds the command line's part"
    grep -q '^\.BR hoardwise-cli (1)' <<<"$window" || fail "hoardwise(1) lacks its SEE ALSO"
}

# The installed completion, sourced by bash, completes commands, a command's options and the
# values of the config options.
check_completion() {  # root, prefix below the root
    local script=$1$2/share/bash-completion/completions/hoardwise-cli
    local got
    got=$(bash -c '. "$1"
        complete_words() { COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=()
            _hoardwise_cli; echo "${COMPREPLY[*]}"; }
        complete_words hoardwise-cli re
        complete_words hoardwise-cli --settings x restore --ol
        complete_words hoardwise-cli config --start
        complete_words hoardwise-cli -- config --autobackup o
        complete_words hoardwise-cli backup --y' bash "$script" 2>&1)
    expect_eq "completions" "$got" "$(printf '%s\n' restore --older --start-client 'on off' '')"
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}
