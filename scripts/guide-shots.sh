#!/usr/bin/env bash
# Takes the pictures of the technician's guide (docs/guide/img/*.png).
#
#     scripts/guide-shots.sh [BUILD_DIR]      # build/ by default
#
# Starts the configurator of BUILD_DIR on its built-in simulator (--demo)
# under an Xvfb of its own, drives it with xdotool as a technician would
# (open the port, poll the line, open the windows, resume a calibration,
# flash a firmware image), saves each window with ImageMagick's import and
# turns it into an 8-bit palette PNG. Rerunning it renews every picture.
#
# Needs: Xvfb, xdotool, ImageMagick (import, convert), iconv. Builds nothing:
# build lv300-configurator first. Takes about three minutes (the simulator
# answers in a real line's time, once a second, and the stability lamp needs
# some 45 answers to turn green).
#
# Clicks go to points inside the windows, measured on the windows as this
# program lays them out with the DejaVu fonts of a plain Debian; a control
# that moves needs its point changed below. Every window the script opens is
# looked up by its title, and a missing one stops the script.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
APP=$BUILD/bin/lv300-configurator
OUT=$ROOT/docs/guide/img
[ -x "$APP" ] || { echo "no $APP: build the target lv300-configurator first" >&2; exit 2; }
for tool in Xvfb xdotool import convert iconv; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 2; }
done
mkdir -p "$OUT"

WORK=$(mktemp -d /tmp/lv300-guide.XXXXXX)
XVFB_PID=
APP_PID=
cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

# A display nobody uses.
n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
# Wide enough to put every window beside the main window, none over another.
Xvfb ":$n" -screen 0 2400x1400x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
export DISPLAY=":$n"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

started=$SECONDS
say() { printf '[%3ds] %s\n' $((SECONDS - started)) "$*"; }

# The window whose title is exactly $1 (waits up to 15 s for it).
window() {
    local id
    for _ in $(seq 150); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)
        [ -n "$id" ] && { echo "$id"; return; }
        sleep 0.1
    done
    echo "no window \"$1\"" >&2
    exit 1
}
gone() { # waits until no visible window has the title $1
    for _ in $(seq 150); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    echo "window \"$1\" did not close" >&2
    exit 1
}
click() { # window x y
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.4
}
away() { xdotool mousemove 2390 1390; } # no tooltip, no hover in the pictures
typein() { # window text: types into the focused box of a dialog and presses Enter
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 20 "$2"
    xdotool key Return
}
# Saves window $1 as docs/guide/img/$2.png; $3, when given, is a crop
# (WxH+X+Y) of the window.
shot() {
    away
    sleep 0.6
    import -window "$1" "$WORK/raw.png"
    if [ $# -ge 3 ]; then
        convert "$WORK/raw.png" -crop "$3" +repage "$WORK/raw.png"
    fi
    convert "$WORK/raw.png" -strip -dither None -colors 256 "PNG8:$OUT/$2.png"
    say "$2.png $(identify -format '%wx%h' "$OUT/$2.png"), $(($(stat -c %s "$OUT/$2.png") / 1024)) KB"
}

# expect_pixel WINDOW X Y COLOUR SECONDS WHY: waits until the pixel (X, Y) of
# the window has the colour (as ImageMagick names it, e.g. "srgb(255,0,0)"),
# else stops the script saying WHY: the lamps of the main window tell whether
# the sensor answers.
expect_pixel() {
    local colour=
    for _ in $(seq $(($5 * 2))); do
        import -window "$1" "$WORK/probe.png"
        colour=$(convert "$WORK/probe.png" -format "%[pixel:p{$2,$3}]" info:)
        [ "$colour" = "$4" ] && return
        sleep 0.5
    done
    echo "pixel ($2, $3) of the window is $colour, not $4: $6" >&2
    exit 1
}
RED="srgb(255,0,0)"
GREEN="srgb(0,192,0)"
LINK_LAMP="596 19"      # beside "Закрыть порт"; red while answers come
STABILITY_LAMP="950 101" # "Стабильность уровня"

# --- Files the technician would bring -------------------------------------

# A calibration by portions under way: 10 l a portion into a 300 l tank, a
# cylinder on its side (the level rises fast at first and at the top, slowly
# in the middle); 26 portions poured. Written as the program writes it:
# Windows-1251, CR LF.
{
    printf '№ проции;Литры;Уровень\r\n'
    i=1
    for level in 20 91 134 170 203 234 264 287 320 347 379 399 424 450 478 497 \
        529 550 576 601 622 653 680 711 736 766 797; do
        printf '%d;%d;%d\r\n' "$i" $(((i - 1) * 10)) "$level"
        i=$((i + 1))
    done
} | iconv -f UTF-8 -t WINDOWS-1251 >"$WORK/tank12.trr"

# A firmware image: the header, the data EEPROM and the blocks before the
# program (160 blocks, not written unless "Сброс калибровок" is ticked), then
# 48 program blocks from 0x9000, the first beginning with '#'.
{
    head -c 64 /dev/zero
    head -c $((160 * 128)) /dev/zero | tr '\0' '\377'
    printf '#'
    head -c $((48 * 128 - 1)) /dev/urandom
} >"$WORK/lv300_176.cri"

# --- The main window, polling the simulated line ---------------------------

cd "$WORK" # the program writes its work log beside itself; nothing else here
"$APP" --demo >"$WORK/app.log" 2>&1 &
APP_PID=$!
MAIN=$(window 'Конфигуратор ЛВ-300 v.*')
xdotool windowmove "$MAIN" 0 0
say "main window up"

# Port row: "Симулятор" is the first item of the port list.
click "$MAIN" 258 19   # "Открыть порт"
sleep 1.5
click "$MAIN" 268 47   # "Поиск датчиков"
sleep 4                # the poll, then sensor 1's identity and its first data
expect_pixel "$MAIN" $LINK_LAMP "$RED" 10 "the simulated sensors do not answer"
POLLED=$SECONDS

# Tab points (the strip under the data panel, with the port open).
TAB_SETTINGS="55 219"
TAB_CALIBRATION="146 219"
TAB_REMOTE="236 219"
TAB_FIRMWARE="325 219"

# The level-shift dialog Form4.
click "$MAIN" $TAB_SETTINGS
click "$MAIN" 64 327   # "Сдвиг уровня"
F4=$(window 'Сдвиг уровня')
xdotool windowmove "$F4" 1000 0
shot "$F4" form4
click "$F4" 334 98     # "Выход"
gone 'Сдвиг уровня'

# The table window Form3 with the sensor's table.
click "$MAIN" 99 447   # "Пересчитывать в литры": reads the table, shows Form3
F3=$(window 'Тарировочная таблица')
xdotool windowmove "$F3" 1000 0
sleep 3                # the read request and its answer
shot "$F3" form3
click "$F3" 386 513    # "Выйти"
gone 'Тарировочная таблица'

# The calibration tab: a calibration resumed from its file.
click "$MAIN" $TAB_CALIBRATION
click "$MAIN" 525 327  # "Возобновить тарировку"
D=$(window 'Открыть')
typein "$D" "$WORK/tank12.trr"
gone 'Открыть'
sleep 0.5
# The stability lamp turns green after some 45 answers.
while [ $((SECONDS - POLLED)) -lt 45 ]; do sleep 1; done
expect_pixel "$MAIN" $STABILITY_LAMP "$GREEN" 20 "the stability lamp did not turn green"
shot "$MAIN" main-calibration

# The sensor's table fitted to that calibration.
click "$MAIN" 525 383  # "В таблицу датчика"
F3=$(window 'Тарировочная таблица')
xdotool windowmove "$F3" 1000 0
shot "$F3" form3-fit
click "$F3" 386 513    # "Выйти"
gone 'Тарировочная таблица'

# The settings tab, and the data panel alone for the live-data page.
click "$MAIN" $TAB_SETTINGS
shot "$MAIN" main-settings
shot "$MAIN" live-data 980x200+0+0
shot "$MAIN" levels 538x236+12+236

# The chart window: everything since the port was opened, then sensor 5
# for a while (a second set of lines), then sensor 1 again.
click "$MAIN" 160 47   # "Адрес датчика"
xdotool key Down Return
sleep 15
click "$MAIN" 878 148  # "График"
CH=$(window 'График уровня')
xdotool windowmove "$CH" 1000 0
sleep 1
shot "$CH" chart
click "$MAIN" 160 47
xdotool key Up Return
sleep 4

# The firmware tab: an image flashed with the read-back check; the demo's
# sensor 1 starts its bootloader some 1.5 s into the run, as if switched off
# and on.
click "$MAIN" $TAB_FIRMWARE
click "$MAIN" 69 251   # "Открыть файл"
D=$(window 'Open')
typein "$D" "$WORK/lv300_176.cri"
gone 'Open'
click "$MAIN" 228 344  # "Проверить запись"
click "$MAIN" 175 344  # "Пуск"
sleep 6
shot "$MAIN" main-firmware-run 980x435+0+205
sleep 14
shot "$MAIN" main-firmware

# The remote-command tab: the generator works with the port closed.
click "$MAIN" 381 19   # "Закрыть порт"
sleep 1
click "$MAIN" $TAB_REMOTE
click "$MAIN" 300 280  # the command list
xdotool key Down Return
sleep 0.3
click "$MAIN" 95 333   # "Cгенерировать запрос"
shot "$MAIN" main-remote

say "done: $(du -ch "$OUT"/*.png | tail -1 | cut -f1) in $OUT"
