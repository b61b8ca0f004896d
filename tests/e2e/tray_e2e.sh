#!/usr/bin/env bash
# End-to-end run of the tray program on a virtual X display: tray menu, port form, port
# change, and exit from the tray menu, driven with synthetic mouse and keyboard input.
#
# Usage: tray_e2e.sh <path-to-TallyReportSrv>
#
# It starts Xvfb, openbox and trayer (an XEmbed tray), then the program from a copy in a
# fresh directory, and checks what the user would see: the server moves to the port typed
# into the form, CONFIG.CFG keeps it, the form hides, and "退出" ends the program with
# status 0. Every wait polls with a deadline. On failure it prints the program's output
# and keeps the work directory (with a screenshot when xwd and ImageMagick are present).
set -euo pipefail

readonly Deadline=30          # seconds any single wait may take before the run fails
readonly ExitDeadline=15      # seconds from "退出" to the end of the program
readonly FormTitlePrefix='Orvane打印服务 '

die() {
  echo "tray_e2e: FAIL: $*" >&2
  exit 1
}

note() { echo "tray_e2e: $*"; }

[[ $# -eq 1 ]] || die "usage: $0 <path-to-TallyReportSrv>"
program=$1
[[ -f $program && -x $program ]] || die "not an executable file: $program"

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
printf 'PORT=\r\nLISTEN=\r\nEND\r\n' >"$app/CONFIG.CFG"

started=()      # pids of the started process groups, in start order
programPid=""
finished=0      # 1 once every check passed

# Sends `signal` to the group led by `pid` (or to the pid alone, if it has not yet made
# its own group).
signal_group() {
  kill "-$1" -- "-$2" 2>/dev/null || kill "-$1" "$2" 2>/dev/null || true
}

group_alive() { kill -0 -- "-$1" 2>/dev/null || kill -0 "$1" 2>/dev/null; }

diagnose() {
  echo "---- program stdout ----" >&2
  cat "$work/program.out" >&2 2>/dev/null || true
  echo "---- program stderr ----" >&2
  cat "$work/program.err" >&2 2>/dev/null || true
  if [[ -n ${DISPLAY:-} ]]; then
    xwininfo -root -tree >"$work/windows.txt" 2>&1 || true
    if command -v xwd >/dev/null 2>&1 &&
      [[ $(convert -version 2>/dev/null | head -n1) == "Version: ImageMagick"* ]]; then
      if xwd -root -silent | convert xwd:- "png:$work/screen.png" 2>/dev/null; then
        echo "screenshot: $work/screen.png" >&2
      else
        echo "screenshot failed" >&2
      fi
    else
      echo "no screenshot (xwd and ImageMagick's convert are needed)" >&2
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

# --- the program --------------------------------------------------------------------------

export TALLYREPORTSRV_PORT=0
start_group program "$app/TallyReportSrv"
programPid=$lastPid

listening() {
  group_alive "$programPid" || die "the program ended before listening"
  grep -q '^TallyReportSrv listening on port ' "$work/program.out"
}
wait_for "the program to listen" listening
ports=$(sed -n 's/^TallyReportSrv listening on port \([0-9,]*\) .*/\1/p' "$work/program.out")
# The line lists the bound ports sorted; on port 0 IPv4 and IPv6 each get their own, so
# which is which is found by asking on each loopback.
[[ $ports =~ ^[0-9]+(,[0-9]+)?$ ]] || die "unreadable ports '$ports'"
note "listening on $ports"
oldPort4=""
oldPort6=""
IFS=, read -r -a portList <<<"$ports"
for port in "${portList[@]}"; do
  answers "127.0.0.1:$port" && oldPort4=$port
  answers "[::1]:$port" && oldPort6=$port
  [[ $oldPort4 == "$port" || $oldPort6 == "$port" ]] || die "port $port answers on neither loopback"
done
[[ -n $oldPort4 ]] || die "no listed port answers on 127.0.0.1"
note "IPv4 port $oldPort4, IPv6 port ${oldPort6:-none}"

# The icon is the program's window embedded somewhere below the tray's panel.
icon_embedded() {
  local line
  line=$(xwininfo -tree -id "$panel" 2>/dev/null | grep '("TallyReportSrv" ' | head -n1) || return 1
  icon=$(awk '{print $1}' <<<"$line")
  xwininfo -id "$icon" 2>/dev/null | grep -q 'Map State: IsViewable' || return 1
  read -r iconWidth iconHeight < <(xwininfo -id "$icon" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w, h}')
  ((iconWidth >= 8 && iconHeight >= 8))
}
wait_for "the tray icon in the tray" icon_embedded
note "tray icon $icon (${iconWidth}x${iconHeight})"

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

# Right-clicks the tray icon and clicks item `index` (0-based) of the menu's three.
choose_tray_menu_item() {
  local index=$1
  xdo mousemove --sync --window "$icon" $((iconWidth / 2)) $((iconHeight / 2)) click 3
  wait_for "the tray menu" menu_open
  # Three plain items share the menu's height: aim at the middle of the chosen one.
  xdo mousemove --sync --window "$menu" $((menuWidth / 2)) $((menuHeight * (2 * index + 1) / 6)) click 1
  wait_for "the tray menu to close" menu_closed
}

choose_tray_menu_item 0   # 修改端口

# The form: a mapped window of the program whose UTF-8 title (_NET_WM_NAME) starts with the
# caption. (Its WM_NAME depends on the program's locale, so xdotool's --name is no help.)
form_shown() {
  local id name
  for id in $(xdotool search --onlyvisible --classname '^TallyReportSrv$' 2>/dev/null); do
    name=$(LC_ALL=C.UTF-8 xprop -id "$id" -notype _NET_WM_NAME 2>/dev/null) || continue
    if [[ $name == "_NET_WM_NAME = \"$FormTitlePrefix"* ]]; then
      form=$id
      formTitle=${name#*\"}
      formTitle=${formTitle%\"}
      return 0
    fi
  done
  return 1
}
wait_for "the port form" form_shown
note "form $form: $formTitle"

newPort=$(free_port "$oldPort4" "$oldPort6")
note "changing the port to $newPort"

# The edit is at 84,28 (91x21) in the panel at 8,8; the button at 71,58 (75x25).
form_focused() { [[ $(xdotool getwindowfocus 2>/dev/null) == "$((form))" ]]; }
xdo mousemove --sync --window "$form" $((8 + 84 + 45)) $((8 + 28 + 10)) click 1
wait_for "the form to take the keyboard focus" form_focused
# Ctrl+A is dropped by the edit: clear it from the end instead (it holds at most 5 digits).
xdo key --delay 20 End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
xdo type --delay 20 "$newPort"
xdo mousemove --sync --window "$form" $((8 + 71 + 37)) $((8 + 58 + 12)) click 1

form_hidden() { ! xwininfo -id "$form" 2>/dev/null | grep -q 'Map State: IsViewable'; }
wait_for "the form to hide after 修改" form_hidden

expect_answer "127.0.0.1:$newPort"
expect_refused "127.0.0.1:$oldPort4"
if [[ -n $oldPort6 ]]; then
  expect_answer "[::1]:$newPort"
  expect_refused "[::1]:$oldPort6"
fi

config=$(cat "$app/CONFIG.CFG"; echo x)
[[ $config == *$'PORT='"$newPort"$'\r\n'* ]] ||
  die "CONFIG.CFG lacks PORT=$newPort with CR LF: $(od -An -c "$app/CONFIG.CFG" | tr -s ' ')"
[[ $(grep -c '^PORT=' "$app/CONFIG.CFG") -eq 1 ]] || die "CONFIG.CFG holds more than one PORT line"
note "port changed: server, CONFIG.CFG and form as expected"

choose_tray_menu_item 2   # 退出

exitEnd=$((SECONDS + ExitDeadline))
# Until it has ended (a zombie, as nothing has waited for it yet).
running() { [[ -r /proc/$programPid/stat && $(awk '{print $3}' "/proc/$programPid/stat" 2>/dev/null) != Z ]]; }
while running; do
  ((SECONDS < exitEnd)) || die "the program still runs ${ExitDeadline}s after 退出"
  sleep 0.1
done
programStatus=0
wait "$programPid" || programStatus=$?
[[ $programStatus -eq 0 ]] || die "the program ended with status $programStatus after 退出"
expect_refused "127.0.0.1:$newPort"

finished=1
note "PASS"
