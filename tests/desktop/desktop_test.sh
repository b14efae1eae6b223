#!/usr/bin/env bash
# The built program on a real X desktop (Xvfb, a window manager, an XEmbed tray host), driven
# with xdotool as a user would: start in the tray, come back by a click on the icon, minimise
# without a tray, end through Exit. Pictures of what it showed stay in the build folder.
# Usage: desktop_test.sh BUILD_DIR
set -uo pipefail
build=$1
for tool in Xvfb xdotool trayer openbox xwininfo xprop import; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

pictures="$build/tests/desktop"
mkdir -p "$pictures"
rm -f "$pictures"/*.png "$pictures/trayer.log"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; import -window root "$pictures/failure.png" 2>/dev/null; exit 1; }

# Waits up to ten seconds for a command to succeed.
until_true() {
    for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}

exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r -t 10 display <&3 || fail "Xvfb did not start"
export DISPLAY=":$display"
# The program uses the XEmbed tray, not a StatusNotifierItem host on a session bus.
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
openbox >/dev/null 2>&1 & pids+=($!)

mkdir -p "$work/hw"
cp "$build/hoardwise" "$work/hw/hoardwise"
settings="$work/hw/hoardwise.INI"

main_window() { xdotool search --name '^Hoardwise 2.11$' 2>/dev/null | while read -r w; do
    xwininfo -id "$w" | grep -q '371x307' && echo "$w"; done | head -1; }
viewable() { xwininfo -id "$1" | grep -q 'IsViewable'; }
has_main_window() { [ -n "$(main_window)" ]; }
# The icon is the program's window docked inside the tray host's panel.
tray_icon() {
    xwininfo -root -tree | awk '/"panel": \("panel" "trayer"\)/ {p = 1}
        p && /"Hoardwise 2.11": \("hoardwise"/ && !/371x307/ {print $1; exit}'
}
has_icon() { [ -n "$(tray_icon)" ]; }
has_no_icon() { [ -z "$(tray_icon)" ]; }
click_in() {  # window, x, y inside it
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove $((X + $2)) $((Y + $3)) click 1
}
start_program() {
    (cd "$work/hw" && exec ./hoardwise) & program=$!
    pids+=("$program")
}
exit_through_question() {  # the Exit button of the shown window, then Yes
    # A window that has just come back may take the first click to become active.
    local tries
    for tries in 1 2 3; do
        click_in "$1" $((8 + 72 * 4 + 32)) $((240 + 30))
        until_true xdotool search --name 'Bestätigung' && break
    done
    xdotool search --name 'Bestätigung' >/dev/null || fail "no close question"
    import -window root "$pictures/question.png"
    xdotool key Return
    local code=0
    for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
    wait "$program" || code=$?
    [ "$code" -eq 0 ] || fail "exit code $code"
}

tray_host_shown() { xwininfo -root -tree | grep -q '"panel": ("panel" "trayer")'; }
# A tray host that ends at once (it lost the race for the tray's selection to the one before
# it) is started again.
start_tray_host() {
    local attempt
    for attempt in 1 2 3; do
        trayer --edge top --align right --widthtype pixel --width 100 --height 24 \
            >>"$pictures/trayer.log" 2>&1 &
        trayer_pid=$!
        pids+=("$trayer_pid")
        until_true tray_host_shown && return 0
        kill "$trayer_pid" 2>/dev/null
        wait "$trayer_pid" 2>/dev/null
    done
    fail "no tray host"
}
stop_tray_host() {
    kill "$trayer_pid" 2>/dev/null
    wait "$trayer_pid" 2>/dev/null
    until_true sh -c '! xwininfo -root -tree | grep -q "\"panel\": (\"panel\" \"trayer\")"'
}

# 1. START MINIMIZED with a tray host: the icon and no window; a click brings the window back.
start_tray_host
printf '[GENERAL SETTINGS]\nSTART MINIMIZED=TRUE\nLANGUAGE=EN\n' >"$settings"
start_program
until_true has_icon || fail "no tray icon after a minimised start"
window=$(main_window)
[ -n "$window" ] || fail "no main window"
viewable "$window" && fail "the window shows although the program started minimised"
import -window root "$pictures/started-in-tray.png"
icon=$(tray_icon)
click_in "$icon" 11 11
until_true viewable "$window" || fail "a click on the icon did not bring the window back"
until_true has_no_icon || fail "the icon stayed after the window came back"
import -window root "$pictures/restored.png"

# 2. Exit from the window: asked once, the settings saved, exit code 0.
exit_through_question "$window"
grep -q '^TEMPDIR=' "$settings" || fail "the settings were not saved"
grep -q '^START MINIMIZED=TRUE' "$settings" || fail "the saved file does not hold the window's state"
[ "$(xdotool search --name 'Bestätigung' | wc -l)" -eq 0 ] || fail "a second question"

# 3. No tray host: minimising leaves the window iconified, reachable, never lost.
stop_tray_host
printf '[GENERAL SETTINGS]\nLANGUAGE=DE\n' >"$settings"
start_program
until_true has_main_window || fail "no main window"
window=$(main_window)
until_true viewable "$window" || fail "the window did not show"
import -window root "$pictures/german.png"
click_in "$window" $((8 + 72 * 3 + 32)) $((240 + 30))
until_true sh -c "xprop -id $window WM_STATE | grep -q Iconic" ||
    fail "minimised without a tray, the window is not iconified"
[ -z "$(tray_icon)" ] || fail "an icon without a tray host"
xdotool windowactivate "$window" 2>/dev/null
until_true viewable "$window" || fail "the iconified window could not be brought back"
exit_through_question "$window"

# 4. Logging out with the window shown: the session manager's end ends the program without a
#    question (xsm, which ends its session on SIGTERM, starts the program as its client).
if command -v xsm >/dev/null && command -v iceauth >/dev/null; then
    smhome="$work/smhome"
    mkdir -p "$smhome"
    printf '%s\n' "$work/hw/hoardwise" >"$smhome/.xsmstartup"
    printf '[GENERAL SETTINGS]\nLANGUAGE=DE\n' >"$settings"
    HOME="$smhome" xsm >"$pictures/xsm.log" 2>&1 & xsm_pid=$!
    pids+=("$xsm_pid")
    until_true has_main_window || fail "xsm did not start the program"
    program=$(pgrep -f "^$work/hw/hoardwise" | head -1)
    [ -n "$program" ] || fail "no program process under xsm"
    until_true grep -q SESSION_MANAGER "/proc/$program/environ" || fail "not a session client"
    sleep 1  # the client has registered with the session manager
    kill -TERM "$xsm_pid"
    for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$program" 2>/dev/null; then
        import -window root "$pictures/logout.png"
        fail "the program outlived the session's end (question: $(xdotool search --name 'Bestätigung' | wc -l))"
    fi
else
    echo "logout step skipped: xsm or iceauth is not installed"
fi

# 5. Closing while a backup runs on a slow disk (every copy held back 200 ms): the run is never
#    cut short - the program ends once it is done and recorded, with no box after the window.
if command -v strace >/dev/null; then
    mkdir -p "$work/temp" "$work/home"
    for i in $(seq -w 1 20); do
        { printf '\xe0'; head -c 26 /dev/zero; printf '%s' "$i"; } >"$work/temp/$i.part.met"
    done
    printf '[DIRECTORIES]\nTEMPDIR=%s\nBACKUPDIR=%s\n[GENERAL SETTINGS]\nLANGUAGE=EN\n' \
        "$work/temp" "$work/backup" >"$settings"
    (cd "$work/hw" && HOME="$work/home" exec strace -f -qq -o /dev/null -e trace=utimensat \
        -e inject=utimensat:delay_enter=200000 ./hoardwise) & program=$!
    pids+=("$program")
    until_true has_main_window || fail "no main window"
    window=$(main_window)
    until_true viewable "$window" || fail "the window did not show"
    history="$work/home/.local/state/hoardwise/history.log"
    click_in "$window" $((8 + 32)) $((240 + 30))
    sleep 1
    [ -e "$history" ] && fail "the slow backup ended at once"
    import -window root "$pictures/backup-under-way.png"
    exit_through_question "$window"
    grep -q "	backup	manual	20	0	succeeded	" "$history" ||
        fail "the run under way at the close was not finished and recorded"
    [ "$(ls "$work/backup" | wc -l)" -eq 20 ] || fail "the backup folder is not complete"
else
    echo "slow-run step skipped: strace is not installed"
fi

# 6. Every caption in full on this desktop, in both languages (pictures in tests/screenshots).
"$build/tests/hoardwise_qt_tests" --gtest_filter='WindowLayout.*' --gtest_brief=1 ||
    fail "captions cut off on the X desktop"
# And with GNOME's look: its theme, fonts and wider indicators.
if ls /usr/lib/*/qt6/plugins/platformthemes/libqgtk3.so >/dev/null 2>&1; then
    QT_QPA_PLATFORMTHEME=gtk3 "$build/tests/hoardwise_qt_tests" --gtest_filter='WindowLayout.*' \
        --gtest_brief=1 || fail "captions cut off with the GTK platform theme"
fi
echo "desktop test passed; pictures in $pictures"
