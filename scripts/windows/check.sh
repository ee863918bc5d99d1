#!/usr/bin/env bash
# Proves the Windows package under Wine, against the simulated sensors of the
# Linux build (lv300-sim) served on a pseudo-terminal that Wine sees as COM5:
#   - builds the package (build.sh, with the core tests) and unpacks the zip;
#   - lv300ctl.exe: info, scan, a write, table read and a flash with --verify,
#     each beside the Linux lv300ctl on the same line, with exit codes;
#     a port that does not exist, and one that vanishes mid-run;
#   - the core test programs built for Windows;
#   - the configurator: port opened, sensors found, live data, a screenshot
#     (build-win/check/configurator.png);
# and ends with one line "N passed, M failed".
#
# Wine 8 needs help with QSerialPort on a pseudo-terminal: a preloaded
# library answers the modem ioctls a pty lacks (wine/wine-pty.c), and a
# launcher loads a DLL that completes WaitCommEvent through the completion
# port as Windows does (wine/wine-iocp.c, wine/wait-comm-event.c shows why).
# Both are built here for the check alone and never shipped.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

out=build-win
work=$out/check
passed=0
failed=0
pass() { echo "ok   $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1${2:+: $2}"; failed=$((failed + 1)); }
expect() { # expect NAME COMMAND...: passes when the command succeeds
    local name=$1
    shift
    if "$@"; then pass "$name"; else fail "$name"; fi
}
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}

pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    [ -n "${WINEPREFIX:-}" ] && /usr/lib/wine/wineserver -k 2>/dev/null
    return 0
}
trap cleanup EXIT

# The package and the core tests for Windows; the Linux simulator and lv300ctl.
mkdir -p "$out"
if ! LV300_WIN_TESTS=ON bash scripts/windows/build.sh > "$out/build.log" 2>&1; then
    tail -30 "$out/build.log"
    fail "Windows build"
    finish
fi
pass "Windows build: zip and installer"
if [ ! -x build/bin/lv300-sim ] || [ ! -x build/bin/lv300ctl ]; then
    bash scripts/build.sh > /dev/null || { fail "Linux build"; finish; }
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/CMakeCache.txt")
zip=$out/lv300-configurator-$version-win64.zip
setup=$out/lv300-configurator-$version-setup.exe
expect "installer is a Windows program" bash -c "file '$setup' | grep -q 'PE32+ executable.*x86-64'"

rm -rf "$work"
mkdir -p "$work" "$out/test"
helpers=$out/test
if ! gcc -shared -fPIC -O2 -Wall -Wextra -o "$helpers/wine-pty.so" scripts/windows/wine/wine-pty.c -ldl ||
    ! x86_64-w64-mingw32-gcc -O2 -Wall -Wextra -shared -o "$helpers/wine-iocp.dll" \
        scripts/windows/wine/wine-iocp.c ||
    ! x86_64-w64-mingw32-gcc -O2 -Wall -Wextra -o "$helpers/wine-launch.exe" \
        scripts/windows/wine/wine-launch.c ||
    ! x86_64-w64-mingw32-gcc -O2 -Wall -Wextra -o "$helpers/wait-comm-event.exe" \
        scripts/windows/wine/wait-comm-event.c; then
    fail "the check's Wine helpers"
    finish
fi
(cd "$work" && cmake -E tar xf "$root/$zip") || { fail "unzip"; finish; }
app=$root/$work/lv300-configurator
expect "zip holds the programs, Qt, plugins and texts" test -f "$app/lv300ctl.exe" -a \
    -f "$app/lv300-configurator.exe" -a -f "$app/Qt6SerialPort.dll" -a \
    -f "$app/platforms/qwindows.dll" -a -f "$app/styles/qwindowsvistastyle.dll" -a \
    -f "$app/translations/qtbase_ru.qm" -a -f "$app/libwinpthread-1.dll"

export WINEPREFIX=$root/$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
$wine wineboot -i > "$work/wineboot.log" 2>&1 || { fail "Wine prefix"; finish; }
# A program under Wine with the pty helper; wqt also with the completion port
# helper, for programs that open a port through QSerialPort.
wrun() { LD_PRELOAD=$root/$helpers/wine-pty.so timeout 300 $wine "$@"; }
wqt() { wrun "$root/$helpers/wine-launch.exe" "$@"; }

# The installer, silently: Program Files, the Start-menu entry, the log in
# the user's folder for an installed program, and the uninstaller.
installed="$WINEPREFIX/drive_c/Program Files/lv300-configurator"
entry="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Конфигуратор ЛВ-300.lnk"
user_log="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/lv300-configurator/log"
timeout 120 $wine "$setup" /S
expect "installer: Program Files and the Start-menu entry" test -f "$installed/lv300ctl.exe" -a \
    -f "$installed/platforms/qwindows.dll" -a -f "$installed/uninstall.exe" -a -f "$entry"
timeout 120 $wine "$installed/lv300ctl.exe" --port sim --log --yes lamp 20 > /dev/null 2>&1
expect "installed lv300ctl logs to %LOCALAPPDATA%\\lv300-configurator\\log" \
    bash -c "ls '$user_log'/*.log >/dev/null 2>&1 && [ ! -e '$installed/log' ]"
timeout 120 $wine "$installed/uninstall.exe" /S
for _ in $(seq 30); do
    [ -e "$entry" ] || [ -e "$installed/lv300ctl.exe" ] || break
    sleep 1
done
expect "uninstaller removes the programs and the entry" test ! -e "$entry" -a \
    ! -e "$installed/lv300ctl.exe"

# One simulated line: start_sim NAME [lv300-sim options]; sets sim_pid, sim_pty.
start_sim() {
    local name=$1
    shift
    build/bin/lv300-sim --ignore-stdin --verbose "$@" > "$work/$name.out" 2> "$work/$name.log" &
    sim_pid=$!
    pids+=("$sim_pid")
    for _ in $(seq 50); do
        sim_pty=$(head -n 1 "$work/$name.out" 2>/dev/null)
        [ -n "$sim_pty" ] && break
        sleep 0.1
    done
    ln -sfn "$sim_pty" "$WINEPREFIX/dosdevices/com5"
}
stop_sim() { kill -TERM "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; }
json() { python3 -c "import json,sys; print(json.loads(sys.stdin.readline())$1)"; }
now() { date +%s.%N; }
calc() { python3 -c "print(round($1, 3))"; }

# --- lv300ctl.exe beside the Linux lv300ctl ----------------------------------
ctl_win() { wqt "$app/lv300ctl.exe" --port COM5 "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
ctl_lin() { build/bin/lv300ctl --port "$sim_pty" "$@"; }

start_sim line
echo "     Wine's limit: $(wrun "$root/$helpers/wait-comm-event.exe" COM5 | tr -d '\r')"
wrun "$app/lv300ctl.exe" --version > "$work/version.txt" # Wine's first start
t0=$(now)
wrun "$app/lv300ctl.exe" --version > "$work/version.txt"
t1=$(now)
build/bin/lv300ctl --version > /dev/null
t2=$(now)
ctl_win --json info > "$work/info.win"
rc=$?
t3=$(now)
ctl_lin --json info > "$work/info.lin"
t4=$(now)
echo "     lv300ctl --version: $(calc "$t1 - $t0") s under Wine, $(calc "$t2 - $t1") s on Linux;" \
    "info: $(calc "$t3 - $t2") s under Wine, $(calc "$t4 - $t3") s on Linux"
if [ $rc -eq 0 ] && [ "$(json "['serial']" < "$work/info.win")" = "$(json "['serial']" < "$work/info.lin")" ] &&
    [ "$(json "['firmware']" < "$work/info.win")" = "$(json "['firmware']" < "$work/info.lin")" ]; then
    pass "info: serial $(json "['serial']" < "$work/info.win"), firmware $(json "['firmware']" < "$work/info.win")"
else
    fail "info" "exit $rc: $(cat "$work/info.win")"
fi

ctl_win --json scan > "$work/scan.win"
rc=$?
ctl_lin --json scan > "$work/scan.lin"
expect "scan: $(cat "$work/scan.win")" test $rc -eq 0 -a -s "$work/scan.win" -a \
    "$(cat "$work/scan.win")" = "$(cat "$work/scan.lin")"

ln -sfn "$sim_pty" "$WINEPREFIX/dosdevices/com12"
wqt "$app/lv300ctl.exe" --port COM12 --json scan 2> /dev/null | tr -d '\r' > "$work/scan12.win"
expect "COM12 opens like COM5 (\\\\.\\COM12)" test "$(cat "$work/scan12.win")" = "$(cat "$work/scan.lin")"
rm -f "$WINEPREFIX/dosdevices/com12"

ctl_win --json --yes lamp 20 > "$work/lamp.win" 2> "$work/lamp.err"
rc=$?
expect "lamp 20 written (exit $rc) and read back on Linux" test $rc -eq 0 -a \
    "$(ctl_lin --json info | json "['lamp']")" = 20

ctl_win --json table read > "$work/table.win"
rc=$?
ctl_lin --json table read > "$work/table.lin"
expect "table read: same 20 points as on Linux" test $rc -eq 0 -a -s "$work/table.win" -a \
    "$(cat "$work/table.win")" = "$(cat "$work/table.lin")"

wqt "$app/lv300ctl.exe" --port COM9 --json info > "$work/missing.win" 2>&1
rc=$?
expect "a COM port that does not exist: exit $rc, $(tr -d '\r' < "$work/missing.win")" \
    test $rc -eq 5 -a "$(tr -d '\r' < "$work/missing.win")" = \
    '{"code":"port","error":"COM9: Порт не найден."}'

# A full LV300 image (8 EEPROM blocks reset, the program from 0x9000),
# flashed with the read-back check on a line that keeps 19200-baud time; the
# simulator keeps the memory it got. Then the same on Linux.
python3 - "$work/full.cri" <<'EOF'
import sys
image = bytearray(64)
for i in range(160 + (0x10000 - 0x9000) // 128):
    block = bytearray((i * 31 + k * 17 + 3) & 0xFF for k in range(128))
    if i == 160:
        block[0] = 0x23
    image += block
open(sys.argv[1], "wb").write(image)
EOF
# The floor of such a run, from what crossed the line: each request's bytes at
# ten bits at the run's rate (19200 unless given; at least the simulator's 4 ms
# end-of-request gap),
# each reply's bytes, the loader's modelled times (6 ms a write, 30 ms an
# erase, 50 us a turnaround).
floor_of() {
    python3 - "$1" "${2:-19200}" <<'EOF'
import sys
bit = 10 / int(sys.argv[2])
total = 0.0
for text in open(sys.argv[1], encoding="utf-8", errors="replace"):
    kind, _, hexes = text.strip().partition(": ")
    n = len(hexes.split())
    if kind == "host":
        total += max(n * bit, 0.004) + 0.00005
        total += 0.006 if hexes.startswith("31 CE") else 0
        total += 0.030 if hexes.startswith("43 BC") else 0
    elif kind == "line":
        total += n * bit
print(round(total, 2))
EOF
}
stop_sim
start_sim flash --bootloader --loader-memory "$work/memory.bin" --line-time
t0=$(now)
ctl_win --json flash "$work/full.cri" --reset-calibration --verify > "$work/flash.win" 2> "$work/flash.err"
rc=$?
t1=$(now)
flash_win=$(calc "$t1 - $t0")
stop_sim
floor_win=$(floor_of "$work/flash.log")
python3 - "$work/full.cri" "$work/memory.bin" <<'EOF'
import sys
image = open(sys.argv[1], "rb").read()
memory = open(sys.argv[2], "rb").read()
sys.exit(0 if len(memory) == 0x10000 and memory[0x9000:] == image[64 + 160 * 128:] else 1)
EOF
mem=$?
expect "flash --verify: exit $rc, $(json "['blocks']" < "$work/flash.win" 2>/dev/null) blocks, memory as the image" \
    test $rc -eq 0 -a $mem -eq 0
start_sim flash-linux --bootloader --line-time
t0=$(now)
ctl_lin --json flash "$work/full.cri" --reset-calibration --verify > "$work/flash.lin" 2>/dev/null
t1=$(now)
flash_lin=$(calc "$t1 - $t0")
stop_sim
floor_lin=$(floor_of "$work/flash-linux.log")
echo "     flash --verify at 19200 baud: $flash_win s under Wine (floor $floor_win s," \
    "$(calc "$flash_win / $floor_win") x), $flash_lin s on Linux (floor $floor_lin s," \
    "$(calc "$flash_lin / $floor_lin") x)"

# The same image at 115200 baud: the simulated loader learns the rate the
# Windows side set on the port.
start_sim flash-fast --bootloader --line-time
t0=$(now)
ctl_win --json flash "$work/full.cri" --reset-calibration --baud 115200 > "$work/flash-fast.win" \
    2> /dev/null
rc=$?
t1=$(now)
stop_sim
expect "flash --baud 115200: exit $rc in $(calc "$t1 - $t0") s (floor $(floor_of "$work/flash-fast.log" 115200) s)" \
    test $rc -eq 0

# A table read and its calibration protocol drawn into a PDF.
start_sim report
ctl_win table read -o "$work/report.lv3" > /dev/null 2>&1
ctl_win table report "$work/report.pdf" --from "$work/report.lv3" --tank "Бак 1" > /dev/null 2>&1
rc=$?
stop_sim
expect "table report: exit $rc, a PDF" bash -c "[ $rc -eq 0 ] && head -c 4 '$work/report.pdf' | grep -q '%PDF'"

# The line goes away in the middle of a watch: a port error, not a hang.
start_sim vanish
(sleep 3; kill -KILL "$sim_pid") &
ctl_win --json watch --count 20 --interval 1 > "$work/vanish.win" 2>&1
rc=$?
expect "port gone during watch: exit $rc" test $rc -ne 0 -a $rc -ne 124
wait "$sim_pid" 2>/dev/null
# ...and in the middle of a flash: the run fails, it is never reported done.
start_sim vanish-flash --bootloader --line-time
(sleep 6; kill -KILL "$sim_pid") &
ctl_win --json flash "$work/full.cri" > "$work/vanish-flash.win" 2> "$work/vanish-flash.err"
rc=$?
expect "port gone during a flash: exit $rc, $(head -c 120 "$work/vanish-flash.win")" \
    test $rc -ne 0 -a $rc -ne 124 -a -z "$(grep -a '"blocks"' "$work/vanish-flash.win")"
wait "$sim_pid" 2>/dev/null

# --- the core tests built for Windows ----------------------------------------
export WINEPATH="$app;$(bash scripts/windows/find-qt.sh)/bin"
for t in "$out"/bin/tst_*.exe; do
    name=$(basename "$t" .exe)
    # Qt Test writes nothing to a redirected stdout under Wine: into a file.
    if wrun "$t" -o "$work/$name.txt,txt" > /dev/null 2>&1; then
        pass "$name $(grep -a '^Totals' "$work/$name.txt" | tr -d '\r')"
    else
        fail "$name" "$(grep -a -m 3 'FAIL!' "$work/$name.txt" | tr -d '\r')"
    fi
done
unset WINEPATH

# --- the configurator on a screen --------------------------------------------
display=:$((50 + RANDOM % 400))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
pids+=("$!")
export DISPLAY=$display
sleep 1
start_sim window
wqt "$app/lv300-configurator.exe" --port COM5 > "$work/window.log" 2>&1 &
pids+=("$!")
window=""
for _ in $(seq 60); do
    window=$(xdotool search --name 'ЛВ-300' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 1
done
data=""
if [ -n "$window" ]; then
    sleep 3 # the splash gives way to the main window
    # The keyboard, as a technician without a mouse: the port list has the
    # focus; Tab to "Открыть порт", then from the address list to "Поиск
    # датчиков"; the first sensor found is selected.
    xdotool key Tab space
    sleep 2
    xdotool key Tab space
    for _ in $(seq 30); do
        data=$(iconv -f cp1251 -t utf-8 "$app"/log/*.log 2>/dev/null | grep -a -m 1 '°C')
        [ -n "$data" ] && break
        sleep 1
    done
    # A minute of polling, as a technician watches the level.
    sleep 60
    import -window root "$work/configurator.png"
    # The guide is inside the exe: F1 opens it at the page of the tab on show.
    xdotool key F1
    for _ in $(seq 15); do
        guide=$(xdotool search --name 'Справка' 2>/dev/null | head -n 1)
        [ -n "$guide" ] && break
        sleep 1
    done
    sleep 2
    import -window root "$work/guide.png"
fi
expect "configurator: F1 opens the guide (screenshot $work/guide.png)" test -n "${guide:-}"
answers=$(iconv -f cp1251 -t utf-8 "$app"/log/*.log 2>/dev/null | grep -a -c '°C')
expect "configurator: live data ${data:-none}, $answers answers in a minute (screenshot $work/configurator.png)" \
    test -n "$data" -a "$answers" -ge 50
expect "configurator: no crash" bash -c "! grep -a -q 'Unhandled' '$work/window.log'"
stop_sim

finish
