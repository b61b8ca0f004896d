#!/usr/bin/env bash
# End-to-end run of the tray program on a virtual X display, driven with synthetic mouse
# and keyboard input, as a person meets it:
#
#   1. a 6-character PORT from CONFIG.CFG: the form shows it whole, "修改" unchanged keeps
#      the port; the form opens with the edit focused and its text selected, so typing
#      replaces it; the port change moves the server and CONFIG.CFG keeps it; an empty port
#      shows an error box, the tray menu still opens, and "退出" with the form and the box
#      open ends the program with status 0;
#   2. SIGTERM with the port form open ends it;
#   3. SIGTERM while the start-up box (no CONFIG.CFG) is open ends it;
#   4. a bad PORT at start: the error box is shown while the service answers on its start
#      port and the tray icon is there; after the box the program runs on.
#
# Usage: tray_e2e.sh <path-to-TallyReportSrv> [<path-to-trs_screenshot> <artefact-dir>]
#
# It starts Xvfb, openbox and trayer (an XEmbed tray), then the program from a copy in a
# fresh directory. Every wait polls with a deadline. With the screenshot tool, pictures of
# the tray menu and of the port form go to the artefact directory. On failure it prints the
# program's output and keeps the work directory (with a picture of the screen).
set -euo pipefail

readonly Deadline=30          # seconds any single wait may take before the run fails
readonly ExitDeadline=15      # seconds from "退出" to the end of the program
readonly FormTitlePrefix='Orvane打印服务 '

die() {
  echo "tray_e2e: FAIL: $*" >&2
  exit 1
}

note() { echo "tray_e2e: $*"; }

[[ $# -eq 1 || $# -eq 3 ]] || die "usage: $0 <path-to-TallyReportSrv> [<path-to-trs_screenshot> <artefact-dir>]"
program=$1
shooter=${2:-}
artefacts=${3:-}
[[ -f $program && -x $program ]] || die "not an executable file: $program"
if [[ -n $shooter ]]; then
  [[ -f $shooter && -x $shooter ]] || die "not an executable file: $shooter"
  mkdir -p "$artefacts"
  rm -f "$artefacts"/*.png
fi

# A missing tool fails the run: the test never passes by doing less.
missing=()
for tool in Xvfb openbox trayer xdotool xwininfo xprop curl setsid timeout mktemp; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
[[ ${#missing[@]} -eq 0 ]] || die "missing tools: ${missing[*]} (packages xvfb openbox trayer xdotool x11-utils curl)"

work=$(mktemp -d "${TMPDIR:-/tmp}/tray_e2e.XXXXXX")
app=$work/app
mkdir -p "$app/data" "$work/runtime" "$work/home"
chmod 700 "$work/runtime"
cp "$program" "$app/TallyReportSrv"
# The tray program is the desktop module beside the program; without it the copy would
# run as a service only.
module=$(dirname "$program")/TallyReportSrv-desktop.so
[[ -f $module ]] || die "the desktop module is missing: $module"
cp "$module" "$app/"

started=()      # pids of the started process groups, in start order
programPid=""
programRun=program
finished=0      # 1 once every check passed

# Sends `signal` to the group led by `pid` (or to the pid alone, if it has not yet made
# its own group).
signal_group() {
  kill "-$1" -- "-$2" 2>/dev/null || kill "-$1" "$2" 2>/dev/null || true
}

group_alive() { kill -0 -- "-$1" 2>/dev/null || kill -0 "$1" 2>/dev/null; }

diagnose() {
  echo "---- program stdout ($programRun) ----" >&2
  cat "$work/$programRun.out" >&2 2>/dev/null || true
  echo "---- program stderr ($programRun) ----" >&2
  cat "$work/$programRun.err" >&2 2>/dev/null || true
  if [[ -n ${DISPLAY:-} ]]; then
    xwininfo -root -tree >"$work/windows.txt" 2>&1 || true
    if [[ -n $shooter ]] && "$shooter" "$work/screen.png" 2>/dev/null; then
      echo "screenshot: $work/screen.png" >&2
    fi
  fi
  echo "work directory kept for diagnosis: $work" >&2
}

on_exit() {
  local status=$?
  set +e
  [[ $finished -eq 1 ]] || { [[ $status -ne 0 ]] || status=1; diagnose; }
  # Newest first: the program before the tray, the tray before the display.
  local i pid tries
  if [[ -n $programPid ]]; then
    signal_group KILL "$programPid"
    wait "$programPid" 2>/dev/null
  fi
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    pid=${started[i]}
    signal_group TERM "$pid"
    for ((tries = 0; tries < 50; tries++)); do
      group_alive "$pid" || break
      sleep 0.1
    done
    group_alive "$pid" && signal_group KILL "$pid"
    wait "$pid" 2>/dev/null
  done
  [[ $status -ne 0 ]] || rm -rf "$work"
  exit "$status"
}
trap on_exit EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# Starts a command as the leader of a new session and process group, its output in
# $work/<name>.out and .err; the pid goes to `started` and to $lastPid.
start_group() {
  local name=$1
  shift
  : >"$work/$name.out"
  setsid "$@" >"$work/$name.out" 2>"$work/$name.err" &
  lastPid=$!
  started+=("$lastPid")
}

# xdotool, bounded: a synthetic input that the server never confirms fails the run.
xdo() { timeout "$Deadline" xdotool "$@" || die "xdotool $* failed or hung"; }

# Polls `condition...` every 0.1 s until it succeeds; fails the run after $Deadline s.
wait_for() {
  local what=$1
  shift
  local end=$((SECONDS + Deadline))
  until "$@"; do
    ((SECONDS < end)) || die "timed out after ${Deadline}s waiting for $what"
    sleep 0.1
  done
}

# A port in 20000-31999 (below the ephemeral range) that no TCP socket uses, other than
# the ports given.
free_port() {
  local port hex tries
  for ((tries = 0; tries < 200; tries++)); do
    port=$((20000 + RANDOM % 12000))
    [[ " $* " == *" $port "* ]] && continue
    printf -v hex ':%04X ' "$port"
    grep -q -- "$hex" /proc/net/tcp /proc/net/tcp6 2>/dev/null && continue
    echo "$port"
    return 0
  done
  die "found no free port"
}

# Prints "<http status> <body>" of GET /?Get=IsPrinting at host:port; curl's exit status
# when the request fails.
is_printing() {
  local out
  out=$(curl --silent --noproxy '*' --max-time 10 --output - --write-out ' %{http_code}' \
    "http://$1/?Get=IsPrinting") || return $?
  echo "${out##* } ${out% *}"
}

answers() { [[ $(is_printing "$1" 2>/dev/null) == "200 0" ]]; }

expect_answer() {
  local reply status=0
  reply=$(is_printing "$1") || status=$?
  [[ $status -eq 0 ]] || die "$1 does not answer (curl status $status)"
  [[ $reply == "200 0" ]] || die "$1 answered '$reply', expected HTTP 200 with body 0"
}

expect_refused() {
  local status=0
  is_printing "$1" >/dev/null || status=$?
  [[ $status -eq 7 ]] || die "$1 still answers or fails otherwise (curl status $status, 7 = refused)"
}

# --- the display, the window manager and the tray ---------------------------------------

export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_DATA_HOME=$work/home/.local/share XDG_RUNTIME_DIR=$work/runtime
# No session bus: the tray icon must take the XEmbed path, not a StatusNotifier host.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/runtime/no-bus"
export QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME="" NO_AT_BRIDGE=1
unset WAYLAND_DISPLAY SESSION_MANAGER

: >"$work/display"
setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
  3>"$work/display" >"$work/xvfb.out" 2>"$work/xvfb.err" &
started+=("$!")
xvfbPid=$!

display_ready() {
  group_alive "$xvfbPid" || die "Xvfb ended: $(cat "$work/xvfb.err")"
  # Xvfb writes the number and a newline once it accepts clients.
  [[ $(wc -l <"$work/display") -ge 1 && $(head -n1 "$work/display") =~ ^[0-9]+$ ]]
}
wait_for "Xvfb's display number" display_ready
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
note "display $DISPLAY"

start_group openbox openbox --sm-disable
openboxPid=$lastPid
wm_ready() {
  group_alive "$openboxPid" || die "openbox ended: $(cat "$work/openbox.err")"
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}
wait_for "the window manager" wm_ready

start_group trayer trayer --edge top --align right --widthtype request --height 24 --transparent false
trayerPid=$lastPid
tray_ready() {
  group_alive "$trayerPid" || die "trayer ended: $(cat "$work/trayer.err")"
  panel=$(xwininfo -root -tree 2>/dev/null | awk '/\("panel" "trayer"\)/{print $1; exit}')
  [[ -n $panel ]]
}
wait_for "the tray panel" tray_ready

# --- the program ---------------------------------------------------------------------------

# Starts a run of the program (output in $work/<name>.out and .err) with CONFIG.CFG holding
# `config` (CR LF lines; "-" for no CONFIG.CFG) and the start port `startPort` (0: a free one).
start_program() {
  local name=$1 config=$2 startPort=$3
  rm -f "$app/CONFIG.CFG"
  [[ $config == - ]] || printf '%s' "$config" >"$app/CONFIG.CFG"
  programRun=$name
  : >"$work/$name.out"
  TALLYREPORTSRV_PORT=$startPort setsid "$app/TallyReportSrv" >"$work/$name.out" 2>"$work/$name.err" &
  programPid=$!
}

# Until it has ended (a zombie, as nothing has waited for it yet).
running() { [[ -r /proc/$programPid/stat && $(awk '{print $3}' "/proc/$programPid/stat" 2>/dev/null) != Z ]]; }

# Waits for the end of the program after `what`, which must come within $ExitDeadline s and
# with status 0.
expect_exit() {
  local what=$1 end=$((SECONDS + ExitDeadline)) status=0
  while running; do
    ((SECONDS < end)) || die "the program still runs ${ExitDeadline}s after $what"
    sleep 0.1
  done
  wait "$programPid" || status=$?
  programPid=""
  [[ $status -eq 0 ]] || die "the program ended with status $status after $what"
  note "$what: the program ended with status 0"
}

# The ready line's ports (sorted; one port or "v4,v6" on port 0).
listening() {
  running || die "the program ended before listening"
  grep -q '^TallyReportSrv listening on port ' "$work/$programRun.out"
}
listened_ports() { sed -n 's/^TallyReportSrv listening on port \([0-9,]*\) .*/\1/p' "$work/$programRun.out"; }

# The program listens on ::1 too where the machine has it.
ipv6=0
grep -q '^00000000000000000000000000000001 ' /proc/net/if_inet6 2>/dev/null && ipv6=1

# Expects the server on `port` on every loopback.
expect_serving() {
  expect_answer "127.0.0.1:$1"
  [[ $ipv6 -eq 0 ]] || expect_answer "[::1]:$1"
}

# The icon is the program's window embedded somewhere below the tray's panel.
icon_embedded() {
  local line
  line=$(xwininfo -tree -id "$panel" 2>/dev/null | grep '("TallyReportSrv" ' | head -n1) || return 1
  icon=$(awk '{print $1}' <<<"$line")
  xwininfo -id "$icon" 2>/dev/null | grep -q 'Map State: IsViewable' || return 1
  read -r iconWidth iconHeight < <(xwininfo -id "$icon" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w, h}')
  ((iconWidth >= 8 && iconHeight >= 8))
}

# The popup menu: a mapped override-redirect top-level window of the program that is not
# a tooltip.
menu_open() {
  local id info
  menu=""
  for id in $(xwininfo -root -children 2>/dev/null | awk '/\("TallyReportSrv" /{print $1}'); do
    info=$(xwininfo -id "$id" 2>/dev/null) || continue
    grep -q 'Map State: IsViewable' <<<"$info" || continue
    grep -q 'Override Redirect State: yes' <<<"$info" || continue
    xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q TOOLTIP && continue
    menu=$id
    menuWidth=$(awk '/Width:/{print $2}' <<<"$info")
    menuHeight=$(awk '/Height:/{print $2}' <<<"$info")
    return 0
  done
  return 1
}

menu_closed() { ! xwininfo -id "$menu" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# Keeps a picture of the screen as <artefact-dir>/<name>.png (with the screenshot tool).
shoot() {
  [[ -n $shooter ]] || return 0
  "$shooter" "$artefacts/$1.png" || die "no screenshot $1"
  note "screenshot $artefacts/$1.png"
}

# Right-clicks the tray icon and clicks item `index` (0-based) of the menu's three; with a
# name, a picture of the open menu is kept under it.
choose_tray_menu_item() {
  local index=$1 picture=${2:-}
  xdo mousemove --sync --window "$icon" $((iconWidth / 2)) $((iconHeight / 2)) click 3
  wait_for "the tray menu" menu_open
  [[ -z $picture ]] || shoot "$picture"
  # Three plain items share the menu's height: aim at the middle of the chosen one.
  xdo mousemove --sync --window "$menu" $((menuWidth / 2)) $((menuHeight * (2 * index + 1) / 6)) click 1
  wait_for "the tray menu to close" menu_closed
}

# A mapped window of the program whose UTF-8 title (_NET_WM_NAME) starts with `prefix` (and
# whose window type is `type`, when given); its id goes to $found. (Its WM_NAME depends on
# the program's locale, so xdotool's --name is no help.)
window_titled() {
  local prefix=$1 type=${2:-} id name
  for id in $(xdotool search --onlyvisible --classname '^TallyReportSrv$' 2>/dev/null); do
    name=$(LC_ALL=C.UTF-8 xprop -id "$id" -notype _NET_WM_NAME 2>/dev/null) || continue
    [[ $name == "_NET_WM_NAME = \"$prefix"* ]] || continue
    if [[ -n $type ]]; then
      xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q "_NET_WM_WINDOW_TYPE_$type" || continue
    fi
    found=$id
    return 0
  done
  return 1
}

form_shown() { window_titled "$FormTitlePrefix" && form=$found; }
# A message box: a dialog window whose caption is the application title (the tray icon's
# own window carries that title too).
box_shown() { window_titled 'TallyReportSever"' DIALOG && box=$found; }
hidden() { ! xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
form_hidden() { hidden "$form"; }
box_gone() { hidden "$box"; }

# The keyboard focus is in the form; xdotool reports the focused X window, which for a Qt
# form is the form's own window.
form_focused() { [[ $(xdotool getwindowfocus 2>/dev/null) == "$((form))" ]]; }

# Opens the port form from the tray menu and waits until it has the keyboard focus.
open_port_form() {
  choose_tray_menu_item 0 "${1:-}"   # 修改端口
  wait_for "the port form" form_shown
  wait_for "the form to take the keyboard focus" form_focused
}

# The button "修改" is at 71,58 (75x25) in the 210 pixels wide panel, which sits 8 pixels
# below the form's top in the middle of its width (the form widens to fit its caption).
click_change_button() {
  local width panelX
  width=$(xwininfo -id "$form" | awk '/Width:/{print $2}')
  panelX=$(((width - 210) / 2))
  xdo mousemove --sync --window "$form" $((panelX + 71 + 37)) $((8 + 58 + 12)) click 1
}

config_port_line() { grep -a '^PORT=' "$app/CONFIG.CFG" | tr -d '\r'; }

# --- 1. the port form, its port, and "退出" with the form and a box open --------------------

configured=$(free_port)
loaded="0$configured"   # six characters, one more than the edit takes by typing
start_program form "PORT=$loaded"$'\r\nLISTEN=\r\nEND\r\n' 0
wait_for "the program to listen" listening
[[ $(listened_ports) == "$configured" ]] || die "listens on '$(listened_ports)', expected the configured $configured"
expect_serving "$configured"
wait_for "the tray icon in the tray" icon_embedded
note "listening on the configured port $configured (PORT=$loaded); tray icon $icon (${iconWidth}x${iconHeight})"

open_port_form tray-menu
sleep 0.3   # let the form paint before its picture
shoot port-form
note "form $form"

# Unchanged, the whole loaded value goes back: the same port, the same line.
click_change_button
wait_for "the form to hide after 修改" form_hidden
expect_serving "$configured"
[[ $(config_port_line) == "PORT=$loaded" ]] || die "CONFIG.CFG holds '$(config_port_line)' after an unchanged 修改, expected PORT=$loaded"
note "修改 unchanged kept port $configured and PORT=$loaded"

# The edit has the focus with its text selected: typing replaces the port.
newPort=$(free_port "$configured")
open_port_form
xdo type --delay 20 "$newPort"
click_change_button
wait_for "the form to hide after 修改" form_hidden
expect_serving "$newPort"
expect_refused "127.0.0.1:$configured"
config=$(cat "$app/CONFIG.CFG"; echo x)
[[ $config == *$'PORT='"$newPort"$'\r\n'* ]] ||
  die "CONFIG.CFG lacks PORT=$newPort with CR LF: $(od -An -c "$app/CONFIG.CFG" | tr -s ' ')"
[[ $(grep -c '^PORT=' "$app/CONFIG.CFG") -eq 1 ]] || die "CONFIG.CFG holds more than one PORT line"
note "typed over the selection: moved to $newPort, CONFIG.CFG keeps it"

# An empty port: the error box, modal to the form only; the tray menu still works, and
# "退出" ends the program with the form and the box open.
open_port_form
xdo key --delay 20 BackSpace
click_change_button
wait_for "the error box" box_shown
shoot port-form-error
hidden "$form" && die "the form hid after a failed 修改"
choose_tray_menu_item 2   # 退出
expect_exit "退出 with the form and an error box open"
expect_refused "127.0.0.1:$newPort"

# --- 2. SIGTERM with the port form open -------------------------------------------------------

start_program sigterm-form $'PORT=\r\nLISTEN=\r\nEND\r\n' 0
wait_for "the program to listen" listening
wait_for "the tray icon in the tray" icon_embedded
open_port_form
kill -TERM "$programPid"
expect_exit "SIGTERM with the port form open"

# --- 3. SIGTERM while the start-up box is open -------------------------------------------------

start_program sigterm-box - 0   # no CONFIG.CFG: the start-up says so in a box
wait_for "the start-up box" box_shown
kill -TERM "$programPid"
expect_exit "SIGTERM with the start-up box open"

# --- 4. a bad PORT at start -------------------------------------------------------------------

startPort=$(free_port "$newPort")
start_program bad-port $'PORT=abc\r\nLISTEN=\r\nEND\r\n' "$startPort"
wait_for "the box with the error" box_shown
# The service answers on its start port while the box is open, with its tray icon.
expect_serving "$startPort"
wait_for "the tray icon in the tray" icon_embedded
xdo windowactivate --sync "$box" key --delay 20 Return
wait_for "the box to close" box_gone
wait_for "the program to listen" listening
[[ $(listened_ports) == "$startPort" ]] || die "listens on '$(listened_ports)' after PORT=abc, expected $startPort"
expect_serving "$startPort"
note "PORT=abc: shown, and the service runs on on $startPort"
choose_tray_menu_item 2   # 退出
expect_exit "退出 after a bad PORT"

finished=1
note "PASS"
