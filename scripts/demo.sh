#!/usr/bin/env bash
# Sets everything up, builds, makes a demo phone in ./demo-phone and runs the
# phone on it: the phone emulator (phone-emulator) with its idle screen and
# main menu, appkeeper and slideflow (the card's pictures) in the menu's
# "Applications" folder, DayBadge 2.x's weekday label started at boot.
#   scripts/demo.sh [--lang zh-cn|en-us] [--walk] [build-folder]
# --lang  the phone's language (written to the demo phone's ezx_system.cfg;
#         default zh-cn)
# --walk  walk the whole road on a private X server with keys, one screenshot
#         per step in demo-phone/screens/: idle screen, menu, appkeeper, install
#         of the demo package, "Refresh menu", slideflow showing the card's
#         pictures, the new application in the menu and started from it,
#         LineLabel's name on the idle screen after the phone process is
#         started again, DayBadge's label. This is also what happens when
#         there is no display to show a window on.
# With a display the phone opens in a window (Xephyr; twice the phone's
# 240x320 where the desktop has room): F1 left soft key (menu), F2 right soft
# key (back), Return centre key, Up/Down move; Ctrl-C in the terminal stops
# the phone and everything it started.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
lang=zh-cn walk=0 build=$here/build
while [ $# -gt 0 ]; do
  case "$1" in
    --lang) lang=${2:?--lang needs zh-cn or en-us}; shift 2;;
    --walk) walk=1; shift;;
    -h|--help) sed -n '2,19p' "$0"; exit 0;;
    *) build=$1; shift;;
  esac
done
case "$lang" in zh-cn|en-us) ;; *) echo "demo: unknown language '$lang' (zh-cn or en-us)" >&2; exit 2;; esac

"$here/scripts/setup.sh" "$build"
build=$(cd "$build" && pwd)
phone=$here/demo-phone
"$here/scripts/make-demo-phone.sh" "$phone" "$build"
printf '[SYS_SYSTEM_SET]\nLanguageType = %s\n' "$lang" \
  > "$phone/ezx_user/download/appwrite/setup/ezx_system.cfg"
launcher=$build/emulator/launcher/phone-emulator
# The demo application greets with the suite's message tool when it finds it.
export PATH=$build/tools/flashnote:$PATH
unset EZX_ROOT

if [ "$walk" = 0 ] && [ -n "${DISPLAY:-}" ]; then
  echo "demo: the phone on the demo phone ($lang): F1 menu, F2 back, Return centre key, Up/Down move; Ctrl-C stops it"
  exec "$launcher" --root "$phone" --screen auto
fi

# No display: the phone on a private Xvfb, driven by keys, one screenshot per step.
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "demo: $tool is missing" >&2; exit 2; }
done
shots=$phone/screens
mkdir -p "$shots"
info=$shots/phone.info log=$shots/phone.log
rm -f "$info"
"$launcher" --root "$phone" --screen xvfb --info-file "$info" >"$log" 2>&1 &
lpid=$!
cleanup() { kill "$lpid" 2>/dev/null && wait "$lpid" 2>/dev/null || true; }
trap cleanup EXIT
fail() { echo "demo: $*; the phone's log is $log" >&2; exit 1; }
# Waits until the phone's log holds a line matching $1 (at least $2 times).
await() {
  for _ in $(seq 150); do
    [ "$(grep -c -- "$1" "$log" || true)" -ge "${2:-1}" ] && return 0
    kill -0 "$lpid" 2>/dev/null || fail "the phone ended"
    sleep 0.1
  done
  fail "no '$1' from the phone"
}
for _ in $(seq 150); do [ -s "$info" ] && break; sleep 0.1; done
[ -s "$info" ] || fail "the phone did not start"
export DISPLAY=$(sed -n 's/^display=//p' "$info")
await "phone: idle screen shown"
await "am: ready"
n=0
shot() {
  n=$((n + 1))
  import -window root "$shots/$(printf '%02d' "$n")-$1.png"
  echo "demo: $shots/$(printf '%02d' "$n")-$1.png"
}
press() { for k in "$@"; do xdotool key "$k"; sleep 0.6; done; }
# Ends the phone's idle screen as DayBadge 1.x -e2 does: "kill -9 $(pidof
# phone)", run inside the phone, where `pidof` sees only its processes. Where
# the machine gave the phone no namespace of its own, the idle screen is
# found by its program's name and phone root instead, and ended by its pid.
kill_phone() {
  if grep -q '^namespace=yes' "$info"; then
    local unshare inner
    unshare=$(cut -d' ' -f1 "/proc/$lpid/task/$lpid/children")
    inner=$(cut -d' ' -f1 "/proc/$unshare/task/$unshare/children")
    nsenter -t "$inner" -p -m sh -c 'kill -9 $(pidof phone)'
  else
    local p
    for p in /proc/[0-9]*; do
      [ "$(cat "$p/comm" 2>/dev/null)" = phone ] || continue
      tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qx "EZX_ROOT=$phone" && kill -9 "${p#/proc/}"
    done
  fi
}

sleep 5   # DayBadge's label appears after its 5-second pause
shot idle-screen
press F1;                       await "am: menu shown"; shot menu
press Return;                   shot folder-applications
press Return;                   await "am: started appkeeper"; sleep 2; shot appkeeper
press F1;                       shot appkeeper-menu
press Return;                   shot install-dialog
press Return;                   shot picker
press Down Return Return Down;  shot picker-card
press Return;                   shot package-chosen
press F1;                       shot confirm
press 1;                        shot installed
press 1;                        shot appkeeper-with-new-entry
press F1 Down Down Down Down Return; shot refresh-question
amStarts=$(grep -c "started am" "$log" || true)
press 1
await "am was killed" 1
await "started am" $((amStarts + 1))
await "am: ready" 2
shot am-started-again
press F2;                       shot exit-question
press 1;                        sleep 1; shot idle-after-appkeeper
press F1;                       await "am: menu shown" 2; shot menu-again
press Return Down Return;       await "am: started slideflow"; sleep 2; shot slideflow-card-pictures
press Up;                       sleep 1; shot slideflow-next-picture
press Return;                   sleep 1; shot menu-after-slideflow
press End;                      shot new-application-in-menu
press Return;                   await "Hello from the demo package"; sleep 1.5; shot new-application-started
sleep 4
press Up Return;                await "am: started LineLabel"; sleep 1
press F2 F2;                    shot idle-before-phone-restart
phoneStarts=$(grep -c "started phone" "$log" || true)
kill_phone
await "started phone" $((phoneStarts + 1))
await "phone: idle screen shown (China Mobile)"
sleep 1;                        shot idle-with-service-name-and-weekday

kill "$lpid"; wait "$lpid" || true
trap - EXIT
grep -q "phone-emulator: stopped" "$log" || fail "the phone did not stop cleanly"
echo "demo: the phone stopped; screenshots in $shots, its log in $log"
