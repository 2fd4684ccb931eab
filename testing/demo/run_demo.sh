#!/usr/bin/env bash
# Phonedeck demo: the real program notices a simulated Android phone "plugged
# in", reaches it through adb and its agent app, and shows "已连接手机".
#
#   testing/demo/run_demo.sh [--check] [--headless] [--build DIR] [--timeout S] [--screenshot PNG]
#
#   (default)        run until you quit Phonedeck (or press Ctrl-C)
#   --check          no user: stop once connected; exit 0 only when the log
#                    shows the connection reached kConn_Sucess (17) and the
#                    driver query was answered by the simulated search service
#   --headless       no windows at all (PHONEDECK_HEADLESS=1)
#   --build DIR      build folder to take the program from (default: build)
#   --timeout S      how long to wait for the connection (default 90)
#   --screenshot PNG keep a picture of the connected main window (needs a display)
#
# Everything runs from a temporary folder and on 127.0.0.1 only:
#   - a copy of <build>/bin is the program folder (PHONEDECK_PROGRAM_DIR),
#     with the real driver information libraries (libkitfinder.so,
#     libkitoracle.so, libLedgerbox.so);
#   - the driver search service is testing/search_sim (search_service_sim) on
#     free ports, which kitoracle reaches through PHONEDECK_DS_*; it answers
#     the brand, device-ID and driver queries from its fixtures;
#   - the market pages and the app-name completion are testing/market_site
#     (market_site_server) on a free port, which the program reaches through
#     PHONEDECK_MARKET_HOST and PHONEDECK_COMPLETION_HOST;
#   - the phone is testing/phone_sim with its own private adb server
#     (ANDROID_ADB_SERVER_PORT) and free ports for the agent forwards;
#   - the USB side is umockdev: the program runs under umockdev-run with a
#     written description of one Android phone (12d1:1038) with an adb
#     interface whose USB serial is the simulator's adb serial, present when
#     the program starts; libudev and /sys show it to the unchanged
#     detection library;
#   - HOME, XDG folders, TMPDIR and the runtime folder are temporary, so your
#     own settings are untouched;
#   - without $DISPLAY (or with --check) a private Xvfb is started; without
#     Xvfb the program runs headless, and says so.
# Everything started here is stopped, and every temporary folder removed, on exit.
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="$ROOT/build"
CHECK=0
HEADLESS=0
TIMEOUT=90
SHOT=""

say() { printf '[demo] %s\n' "$*"; }
fail() { printf '[demo] FAILED: %s\n' "$*" >&2; exit 1; }

while [ $# -gt 0 ]; do
  case "$1" in
    --check) CHECK=1 ;;
    --headless) HEADLESS=1 ;;
    --build) BUILD="${2:?--build needs a folder}"; case "$BUILD" in /*) ;; *) BUILD="$PWD/$BUILD" ;; esac; shift ;;
    --timeout) TIMEOUT="${2:?--timeout needs seconds}"; shift ;;
    --screenshot) SHOT="${2:?--screenshot needs a file}"; shift ;;
    -h|--help) sed -n '2,30p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run_demo.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
  shift
done
case "$TIMEOUT" in ''|*[!0-9]*) echo "run_demo.sh: --timeout takes whole seconds" >&2; exit 2 ;; esac
[ -n "$SHOT" ] && case "$SHOT" in /*) ;; *) SHOT="$PWD/$SHOT" ;; esac

BIN="$BUILD/bin"
SEARCH_SIM="$BUILD/testing/search_service_sim"
MARKET_SITE="$BUILD/testing/market_site_server"
SHOT_TOOL="$BUILD/testing/demo/window_shot"

# ---------------------------------------------------------------- the build
if [ ! -x "$BIN/Phonedeck" ] || [ ! -x "$SEARCH_SIM" ] || [ ! -f "$BIN/apk/com.zelvik.assist.apk" ]; then
  say "the program is not built in $BUILD yet: running scripts/build.sh $BUILD"
  "$ROOT/scripts/build.sh" "$BUILD" || fail "the build failed (scripts/setup.sh installs what it needs)"
fi
for f in "$BIN/Phonedeck" "$BIN/libdevwarden.so" "$BIN/libportsniffer.so" "$BIN/libkitfinder.so" \
         "$BIN/libkitoracle.so" "$BIN/libLedgerbox.so" "$SEARCH_SIM" "$MARKET_SITE" "$BIN/apk/com.zelvik.assist.apk"; do
  [ -e "$f" ] || fail "missing $f (run scripts/build.sh $BUILD)"
done
command -v adb >/dev/null || fail "adb is missing (scripts/setup.sh installs it)"
command -v umockdev-run >/dev/null || fail "umockdev-run is missing (scripts/setup.sh installs umockdev)"

# ---------------------------------------------------------------- clean-up
TMP="$(mktemp -d /tmp/phonedeck-demo-XXXXXX)" || fail "cannot make a temporary folder"
SIM_PID=""
SIM_IN=""
DS_PID=""
MARKET_PID=""
ADB_PORT=""
XVFB_PID=""
APP_PID=""

stop_pid() {  # pid, seconds to wait after SIGTERM before SIGKILL
  local pid="$1" wait_tenths=$(( $2 * 10 ))
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null
  while [ $wait_tenths -gt 0 ] && kill -0 "$pid" 2>/dev/null; do sleep 0.1; wait_tenths=$((wait_tenths - 1)); done
  kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 0
}

cleanup() {
  trap - EXIT INT TERM
  say "cleaning up"
  stop_pid "$APP_PID" 10
  if [ -n "$SIM_PID" ]; then
    # Closing its stdin ends the simulator: it removes its forwards, stops its
    # adb server and deletes its folders.
    [ -n "$SIM_IN" ] && exec {SIM_IN}>&-
    local tenths=100
    while [ $tenths -gt 0 ] && kill -0 "$SIM_PID" 2>/dev/null; do sleep 0.1; tenths=$((tenths - 1)); done
    stop_pid "$SIM_PID" 5
  fi
  stop_pid "$DS_PID" 5
  stop_pid "$MARKET_PID" 5
  # An adb server the program may have started again on the private port.
  if [ -n "$ADB_PORT" ]; then
    HOME="$TMP/home" ANDROID_ADB_SERVER_PORT="$ADB_PORT" timeout 10 adb kill-server >/dev/null 2>&1
  fi
  stop_pid "$XVFB_PID" 5
  rm -rf "$TMP"
}
trap cleanup EXIT
trap 'say "interrupted"; exit 130' INT TERM

# ---------------------------------------------------------------- program folder
PROGRAM="$TMP/program"
mkdir -p "$PROGRAM" "$TMP/home/.config" "$TMP/home/.local/share" "$TMP/home/.cache" "$TMP/home/Downloads" \
         "$TMP/runtime" "$TMP/tmp" || fail "cannot fill $TMP"
chmod 700 "$TMP/runtime"
cp -a "$BIN/." "$PROGRAM/" || fail "cannot copy $BIN"
rm -f "$PROGRAM"/log/*.log
say "program folder: $PROGRAM (a copy of $BIN)"

# The first line of FILE that starts with PREFIX, once the simulator whose
# pid is PID has written it (up to TENTHS tenths of a second); empty when it
# ended or the time ran out.
ready_line() {  # file prefix pid tenths
  local line=""
  for _ in $(seq 1 "$4"); do
    line="$(grep -m1 "^$2" "$1" 2>/dev/null)"
    [ -n "$line" ] && break
    kill -0 "$3" 2>/dev/null || break
    sleep 0.1
  done
  printf '%s' "$line"
}
# The value of KEY=value in LINE.
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }

# ---------------------------------------------------------------- the driver search service
say "starting the simulated driver search service (testing/search_sim, on 127.0.0.1)"
"$SEARCH_SIM" </dev/null >"$TMP/ds.out" 2>"$TMP/ds.err" &
DS_PID=$!
# It prints the settings that point kitoracle at it, the search URL last.
[ -n "$(ready_line "$TMP/ds.out" 'PHONEDECK_DS_SEARCH_URL=' "$DS_PID" 100)" ] ||
  fail "the simulated driver search service did not come up: $(cat "$TMP/ds.err")"
mapfile -t DS_ENV < <(grep '^PHONEDECK_DS_' "$TMP/ds.out")
say "driver search service: ${DS_ENV[*]}"

# ---------------------------------------------------------------- the market site
say "starting the market site (testing/market_site, on 127.0.0.1)"
"$MARKET_SITE" </dev/null >"$TMP/market.out" 2>"$TMP/market.err" &
MARKET_PID=$!
# It prints the settings that point the program at it.
[ -n "$(ready_line "$TMP/market.out" 'PHONEDECK_COMPLETION_HOST=' "$MARKET_PID" 100)" ] ||
  fail "the market site did not come up: $(cat "$TMP/market.err")"
mapfile -t MARKET_ENV < <(grep '^PHONEDECK_' "$TMP/market.out")
say "market site: ${MARKET_ENV[*]}"

# ---------------------------------------------------------------- the phone
say "starting the simulated phone (testing/phone_sim, private adb server)"
mkfifo "$TMP/sim.stdin" || fail "cannot make a pipe"
HOME="$TMP/home" /usr/bin/python3 "$ROOT/testing/phone_sim/phone_sim.py" --forward --exit-on-stdin-eof \
  <"$TMP/sim.stdin" >"$TMP/sim.out" 2>"$TMP/sim.err" &
SIM_PID=$!
exec {SIM_IN}>"$TMP/sim.stdin"
READY="$(ready_line "$TMP/sim.out" 'PHONESIM READY' "$SIM_PID" 300)"
if [ -z "$READY" ]; then
  sed 's/^/[phone_sim] /' "$TMP/sim.err" >&2
  fail "the simulated phone did not come up"
fi
SERIAL="$(field serial "$READY")"
ADB_PORT="$(field adb_port "$READY")"
AGENT_PORT="$(field agent_port "$READY")"
FTP_PORT="$(field ftp_port "$READY")"
FTP_PASSIVE_PORT="$(field ftp_passive_port "$READY")"
[ -n "$SERIAL" ] && [ -n "$ADB_PORT" ] && [ -n "$AGENT_PORT" ] || fail "cannot read the simulator's line: $READY"
say "phone ready: adb serial $SERIAL, adb server on 127.0.0.1:$ADB_PORT, agent forwarded to 127.0.0.1:$AGENT_PORT"

# ---------------------------------------------------------------- the USB side
# One phone as the kernel lists it: a USB device with a storage interface and
# the adb interface (class ff, subclass 42, protocol 01), whose USB serial is
# what adb lists, as with a real phone; with its device node. umockdev-run
# shows it to the program through libudev and /sys, so the detection library
# runs unchanged.
UMOCKDEV="$TMP/phone.umockdev"
DEVPATH="/devices/pci0000:00/0000:00:14.0/usb1/1-1"
{
  printf 'P: %s\nN: bus/usb/001/005\n' "$DEVPATH"
  printf 'E: DEVNAME=/dev/bus/usb/001/005\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: DRIVER=usb\n'
  printf 'E: BUSNUM=001\nE: DEVNUM=005\nE: PRODUCT=12d1/1038/100\nE: MAJOR=189\nE: MINOR=4\n'
  printf 'A: idVendor=12d1\nA: idProduct=1038\nA: bcdDevice=0100\nA: manufacturer=HUAWEI\nA: product=P7-L09\n'
  printf 'A: serial=%s\nA: busnum=1\nA: devnum=5\nA: bNumInterfaces= 2\nA: authorized=1\nA: dev=189:4\n' "$SERIAL"
  n=0
  for iface in 080650 ff4201; do
    printf '\nP: %s/1-1:1.%d\nE: DEVTYPE=usb_interface\nE: SUBSYSTEM=usb\n' "$DEVPATH" "$n"
    printf 'A: bInterfaceNumber=0%d\nA: bInterfaceClass=%s\nA: bInterfaceSubClass=%s\nA: bInterfaceProtocol=%s\n' \
      "$n" "${iface:0:2}" "${iface:2:2}" "${iface:4:2}"
    n=$((n + 1))
  done
} >"$UMOCKDEV" || fail "cannot write $UMOCKDEV"
say "simulated USB: an Android phone (12d1:1038, adb interface) with serial $SERIAL, plugged in through umockdev"

# ---------------------------------------------------------------- the display
if [ "$HEADLESS" = 1 ]; then
  DISPLAY_MODE=headless
elif [ "$CHECK" = 0 ] && [ -n "${DISPLAY:-}" ]; then
  DISPLAY_MODE=desktop
elif command -v Xvfb >/dev/null; then
  DISPLAY_MODE=xvfb
else
  DISPLAY_MODE=headless
  say "no display and no Xvfb: running the program without windows (the log shows the progress)"
fi
if [ "$DISPLAY_MODE" = xvfb ]; then
  Xvfb -displayfd 9 -screen 0 1280x800x24 -nolisten tcp 9>"$TMP/xvfb.display" 2>"$TMP/xvfb.err" {SIM_IN}>&- &
  XVFB_PID=$!
  NUMBER=""
  for _ in $(seq 1 100); do
    NUMBER="$(tr -dc 0-9 <"$TMP/xvfb.display")"
    [ -n "$NUMBER" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ -n "$NUMBER" ]; then
    export DISPLAY=":$NUMBER"
    say "started a private X server (Xvfb) on $DISPLAY: the window is drawn there, not on your screen"
  else
    stop_pid "$XVFB_PID" 2
    XVFB_PID=""
    DISPLAY_MODE=headless
    say "Xvfb did not start: running the program without windows"
  fi
fi
[ "$DISPLAY_MODE" = desktop ] && say "the main window opens on your desktop ($DISPLAY)"

# ---------------------------------------------------------------- the program
LOG="$PROGRAM/log/zelvik.log"
APP_ENV=(
  HOME="$TMP/home" XDG_CONFIG_HOME="$TMP/home/.config" XDG_DATA_HOME="$TMP/home/.local/share"
  XDG_CACHE_HOME="$TMP/home/.cache" XDG_RUNTIME_DIR="$TMP/runtime" XDG_DOWNLOAD_DIR="$TMP/home/Downloads"
  TMPDIR="$TMP/tmp" PHONEDECK_PROGRAM_DIR="$PROGRAM"
  ANDROID_ADB_SERVER_PORT="$ADB_PORT"
  "${DS_ENV[@]}" "${MARKET_ENV[@]}"
  PHONEDECK_AGENT_PORT="$AGENT_PORT" PHONEDECK_FTP_PORT="$FTP_PORT" PHONEDECK_FTP_PASSIVE_PORT="$FTP_PASSIVE_PORT"
)
[ "$DISPLAY_MODE" = headless ] && APP_ENV+=(PHONEDECK_HEADLESS=1)
say "starting Phonedeck"
env -u PHONEDECK_ADB -u PHONEDECK_SCREENSHOT -u PHONEDECK_STAT_URL -u PORTSNIFFER_SYSFS_ROOT "${APP_ENV[@]}" \
  umockdev-run --device "$UMOCKDEV" -- "$PROGRAM/Phonedeck" >"$TMP/program.out" 2>&1 {SIM_IN}>&- &
APP_PID=$!

# ---------------------------------------------------------------- progress
describe() {
  case "$1" in
    kConn_Start) echo "a phone is plugged in: the connection starts" ;;
    kConn_CheckAndroidMode) echo "checking that USB debugging is on" ;;
    kConn_Phone_Open_debug) echo "USB debugging is off on the phone" ;;
    kConn_CheckAdbMode) echo "asking adb for the phone" ;;
    kConn_Phone_offline) echo "adb lists the phone as offline" ;;
    kConn_CheckPhoneServer) echo "checking the agent app on the phone" ;;
    kConn_InstallPhoneApk) echo "installing the agent app" ;;
    kConn_InstallFailed) echo "the agent app could not be installed" ;;
    kConn_Start_PhoneServer) echo "starting the agent app" ;;
    kConn_Socket_failed) echo "the agent app does not answer" ;;
    kConn_Failed) echo "the connection failed" ;;
    kConn_Sucess) echo "connected: the connection display reads \"已连接手机\"" ;;
    kConn_Phone_Remove) echo "the phone was unplugged" ;;
    *) echo "" ;;
  esac
}
SHOWN=0
CONNECTED=0
FAILED=""
show_progress() {  # prints the connection states logged since last time
  local lines
  lines="$(grep -a -o 'ConectStatus:[A-Za-z_]* Notify' "$LOG" 2>/dev/null | sed 's/ConectStatus:\(.*\) Notify/\1/')"
  [ -z "$lines" ] && return
  local i=0 state
  while IFS= read -r state; do
    i=$((i + 1))
    [ $i -le $SHOWN ] && continue
    SHOWN=$i
    say "connection: $state - $(describe "$state")"
    case "$state" in
      kConn_Sucess) CONNECTED=1 ;;
      kConn_Phone_Open_debug|kConn_Phone_offline|kConn_InstallFailed|kConn_Socket_failed|kConn_Failed) FAILED="$state" ;;
    esac
  done <<<"$lines"
}

say "waiting for the program to notice the phone (log: $LOG)"
deadline=$(( $(date +%s) + TIMEOUT ))
while [ "$CONNECTED" = 0 ] && [ -z "$FAILED" ]; do
  show_progress
  [ "$CONNECTED" = 1 ] || [ -n "$FAILED" ] && break
  if ! kill -0 "$APP_PID" 2>/dev/null; then
    wait "$APP_PID"; rc=$?; APP_PID=""
    sed 's/^/[Phonedeck] /' "$TMP/program.out" >&2
    fail "Phonedeck ended (exit code $rc) before the phone was connected"
  fi
  if [ "$(date +%s)" -ge "$deadline" ]; then
    say "no connection after ${TIMEOUT}s; the end of the program's log:"
    tail -n 30 "$LOG" 2>/dev/null | tr -d '\r' | sed 's/^/[zelvik.log] /' >&2
    fail "the phone was not connected within ${TIMEOUT}s"
  fi
  sleep 0.2
done
if [ -n "$FAILED" ]; then
  tail -n 30 "$LOG" 2>/dev/null | tr -d '\r' | sed 's/^/[zelvik.log] /' >&2
  fail "the connection ended in $FAILED"
fi
say "the program manages the simulated phone ($SERIAL)"

# ---------------------------------------------------------------- the driver query
# devwarden asks for the phone's drivers as soon as it notices it: through the
# real libkitfinder.so and libkitoracle.so, the simulated search service
# answers the machine's brand (0x02), the device IDs (0x16) and the drivers
# of the USB devices (0x26).
deadline=$(( $(date +%s) + 30 ))
until grep -q '^REQUEST .* 0x26$' "$TMP/ds.out" 2>/dev/null; do
  [ "$(date +%s)" -ge "$deadline" ] && break
  sleep 0.2
done
if grep -q '^REQUEST .* 0x26$' "$TMP/ds.out"; then
  say "driver search service: asked $(grep -c '^REQUEST' "$TMP/ds.out") times (brand, device IDs, drivers)"
else
  [ "$CHECK" = 1 ] && fail "the driver query never reached the simulated search service"
  say "the driver query has not reached the simulated search service"
fi

# ---------------------------------------------------------------- picture
if [ -n "$SHOT" ]; then
  if [ "$DISPLAY_MODE" = headless ]; then
    say "no picture: the program runs without windows"
  elif [ ! -x "$SHOT_TOOL" ]; then
    say "no picture: $SHOT_TOOL is not built"
  else
    # The progress bar runs to its end before the connected view shows: the
    # picture is kept once the window holds still for longer than the
    # program's quickest animation step (300 ms).
    mkdir -p "$(dirname "$SHOT")"
    size=""
    still_since=""
    deadline=$(( $(date +%s) + 30 ))
    while size="$("$SHOT_TOOL" "Zelvik手游助手" "$TMP/shot_now.png" 2>"$TMP/shot.err")"; do
      now_ms=$(( $(date +%s%N) / 1000000 ))
      if [ -n "$still_since" ] && cmp -s "$TMP/shot_now.png" "$TMP/shot_last.png"; then
        [ $(( now_ms - still_since )) -ge 400 ] && break
      else
        mv "$TMP/shot_now.png" "$TMP/shot_last.png"
        still_since=$now_ms
      fi
      if [ "$(date +%s)" -ge "$deadline" ]; then
        echo "the window never held still" >"$TMP/shot.err"
        size=""
        break
      fi
      sleep 0.05
    done
    if [ -n "$size" ] && cp "$TMP/shot_now.png" "$SHOT"; then
      say "picture of the connected main window ($size): $SHOT"
    else
      say "no picture: $(cat "$TMP/shot.err")"
      [ "$CHECK" = 1 ] && fail "the main window could not be saved"
    fi
  fi
fi

if [ "$CHECK" = 1 ]; then
  # The service ends on SIGTERM, with exit code 1 when it refused a request.
  kill -TERM "$DS_PID" 2>/dev/null
  wait "$DS_PID"
  ds_rc=$?
  DS_PID=""
  if [ "$ds_rc" != 0 ]; then
    sed 's/^/[search_service_sim] /' "$TMP/ds.err" >&2
    fail "the simulated search service refused requests (exit code $ds_rc)"
  fi
  say "check passed: the connection reached kConn_Sucess (17), the driver information came from the search service"
  exit 0
fi

say "the program keeps running: quit Phonedeck (or press Ctrl-C here) to end the demo"
while kill -0 "$APP_PID" 2>/dev/null; do
  show_progress  # later states too (a reconnect, a failure)
  sleep 0.5
done
wait "$APP_PID"
APP_PID=""
say "Phonedeck ended"
