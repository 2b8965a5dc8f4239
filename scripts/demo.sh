#!/usr/bin/env bash
# Sets everything up, builds, makes a demo phone in ./demo-phone and runs the
# software manager (appkeeper) on it in a 240x320 window. The demo package is
# on the card: F1 opens the menu, Return picks "Install PKG", the folder button
# opens the picker (mmc / mmca1 / demo.pkg), F1 installs.
#   scripts/demo.sh [--lang zh-cn|en-us] [--walk] [build-folder]
# --lang  the phone's language (written to the demo phone's ezx_system.cfg;
#         default zh-cn, the program's own texts)
# --walk  walk through install, properties, rename and exit on a private X
#         server and save a screenshot of each screen in demo-phone/screens/;
#         this is also what happens when there is no display to show a window on.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
lang=zh-cn walk=0 build=$here/build
while [ $# -gt 0 ]; do
  case "$1" in
    --lang) lang=${2:?--lang needs zh-cn or en-us}; shift 2;;
    --walk) walk=1; shift;;
    -h|--help) sed -n '2,12p' "$0"; exit 0;;
    *) build=$1; shift;;
  esac
done
case "$lang" in zh-cn|en-us) ;; *) echo "demo: unknown language '$lang' (zh-cn or en-us)" >&2; exit 2;; esac

"$here/scripts/setup.sh" "$build"
phone=$here/demo-phone
"$here/scripts/make-demo-phone.sh" "$phone"
printf '[SYS_SYSTEM_SET]\nLanguageType = %s\n' "$lang" \
  > "$phone/ezx_user/download/appwrite/setup/ezx_system.cfg"
app=$build/appkeeper/appkeeper
export EZX_ROOT=$phone

if [ "$walk" = 0 ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  echo "demo: appkeeper on the demo phone ($lang); F1 menu, Return middle key, F2 exit"
  exec "$app"
fi

# No display: the same program on a private X server of the phone's size,
# driven by keys, one screenshot per screen.
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "demo: $tool is missing" >&2; exit 2; }
done
shots=$phone/screens
mkdir -p "$shots"
fdfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 240x320x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
xpid=$!
cleanup() { kill "${apid:-}" 2>/dev/null || true; kill "$xpid" 2>/dev/null || true; rm -f "$fdfile"; }
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$fdfile")
QT_QPA_PLATFORM=xcb "$app" >"$shots/appkeeper.log" 2>&1 &
apid=$!
sleep 2
n=0
shot() {
  n=$((n + 1))
  import -window root "$shots/$(printf '%02d' "$n")-$1.png"
  echo "demo: $shots/$(printf '%02d' "$n")-$1.png"
}
press() { for k in "$@"; do xdotool key "$k"; sleep 0.7; done; }
shot main-window
press F1;                 shot menu
press Return;             shot install-dialog
press Return;             shot picker
press Down Return Return Down; shot picker-card
press Return;             shot package-chosen
press F1;                 shot confirm
press 1;                  shot installed
press 1;                  shot list-with-new-entry
press Down Down space;    shot java-entry-selected
press Return;             shot java-properties
press F2 Down space;      shot entry-selected
press Return;             shot properties
press F2 F1 Down Return;  shot rename
press space 2;            shot rename-typed
press F1;                 shot renamed
press F1 Down Down Return; shot uninstall-question
press 1;                  shot uninstalled
press F1 Up Return;       shot about
press 1 F2;               shot exit-question
press 1
sleep 1
if kill -0 "$apid" 2>/dev/null; then
  echo "demo: appkeeper still running after the exit key" >&2; exit 1
fi
wait "$apid" && echo "demo: appkeeper ended with 0; screenshots in $shots"
