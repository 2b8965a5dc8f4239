#!/usr/bin/env bash
# Makes a demo phone root (for EZX_ROOT=<root>): the memory card, the
# ezx_user folders with a few registry records and a menu tree, the preload
# registry, a folder of pictures and a demo package on the card.
#   scripts/make-demo-phone.sh <root> [build-folder]
# Running it again remakes the root from scratch. With a build folder the
# suite's programs are put into the phone as preloaded applications, for the
# phone emulator: appkeeper and slideflow (showing the card's pictures) in the
# menu's "Applications" folder, LineLabel, and DayBadge 2.x in the
# start-at-boot list; the Java application goes to "Games".
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=${1:?usage: make-demo-phone.sh <root> [build-folder]}
build=${2:-}
if [ -n "$build" ]; then build=$(cd -- "$build" && pwd); fi
case "$root" in /|"") echo "make-demo-phone: refusing root '$root'" >&2; exit 2;; esac

# Only a folder this script made (or an empty one) is wiped and remade.
if [ -e "$root" ] && [ -n "$(ls -A -- "$root" 2>/dev/null)" ] && [ ! -f "$root/.demo-phone" ]; then
  echo "make-demo-phone: $root exists and is not a demo phone; not touching it" >&2
  exit 2
fi
rm -rf -- "$root"
mkdir -p -- "$root"
root=$(cd -- "$root" && pwd)
echo "made by scripts/make-demo-phone.sh" > "$root/.demo-phone"

card=$root/mmc/mmca1
am=$root/ezx_user/download/appwrite/am
setup=$root/ezx_user/download/appwrite/setup
mkdir -p "$card/.system/QTDownLoad/installtmp" "$card/.system/java" "$am" "$setup" \
         "$root/usr/data_resource/preloadapps" "$card/pictures" "$root/ezx_user/apps/notes" \
         "$root/ezx_user/apps/chess"
: > "$card/.system/java/CardRegistry"

# Applications the platform installed in phone memory.
cat > "$am/InstalledDB" <<'INI'
[3f2a1c44-5b6d-4e7f-8a9b-0c1d2e3f4a5b]
Name=Notes
Exec=notes
Icon=notes.png
BigIcon=notes_big.png
Directory=/ezx_user/apps/notes
AppID={3f2a1c44-5b6d-4e7f-8a9b-0c1d2e3f4a5b}
JavaId=-1
UserID=ezx
GroupID=ezx
Args=
Type=2

[7b8c9d0e-1f2a-4b3c-9d4e-5f6a7b8c9d0e]
Name=Calendar
Exec=calendar
Icon=calendar.png
Directory=/ezx_user/apps/calendar
AppID={7b8c9d0e-1f2a-4b3c-9d4e-5f6a7b8c9d0e}
JavaId=-1
UserID=root
GroupID=root
Args=
Type=2

[5e6f7a8b-9c0d-4e1f-8a2b-3c4d5e6f7a8b]
Name=Chess
Exec=chess.jar
Icon=chess.png
Directory=/ezx_user/apps/chess
AppID={5e6f7a8b-9c0d-4e1f-8a2b-3c4d5e6f7a8b}
JavaId=12
UserID=ezx
GroupID=ezx
Args=
Type=3
INI
# The Java application's own settings, with its security domain.
printf 'MIDlet-Name: Chess\nDomain: Operator\nPermissions: network\n' > "$root/ezx_user/apps/chess/registry.txt"
printf '#!/bin/sh\necho notes\n' > "$root/ezx_user/apps/notes/notes"
chmod +x "$root/ezx_user/apps/notes/notes"

# The main-menu tree: the two folders new applications go to, and others.
cat > "$am/UserMenuTree" <<'INI'
[cb839c8f-72c3-42ac-bf17-b01080cb5705]
Name=Applications
Items=3f2a1c44-5b6d-4e7f-8a9b-0c1d2e3f4a5b;7b8c9d0e-1f2a-4b3c-9d4e-5f6a7b8c9d0e

[67dc1191-2928-4938-abce-1a73cb5ce490]
Name=Recent
Items=7b8c9d0e-1f2a-4b3c-9d4e-5f6a7b8c9d0e

[a0a0a0a0-1111-4222-8333-444455556666]
Name=Games
Items=

[b1b1b1b1-2222-4333-8444-555566667777]
Name=Settings
INI

cat > "$setup/ezx_system.cfg" <<'INI'
[SYS_SYSTEM_SET]
LanguageType = zh-cn
INI

cat > "$setup/ezx_sysregistry.cfg" <<'INI'
[AutoRun]
Apps=3f2a1c44-5b6d-4e7f-8a9b-0c1d2e3f4a5b
INI

cat > "$root/usr/data_resource/preloadapps/SysRegistry" <<'INI'
[c2c2c2c2-3333-4444-8555-666677778888]
Name=Phone
Exec=phone
Directory=/usr/data_resource/preloadapps/phone
JavaId=-1
INI

# A few pictures for the slide viewer.
if command -v convert >/dev/null 2>&1; then
  i=0
  for colour in tomato gold seagreen steelblue orchid slategray; do
    i=$((i + 1))
    convert -size 176x144 "gradient:$colour-white" -gravity center -pointsize 40 \
            -fill black -annotate 0 "$i" "$card/pictures/slide$i.png"
  done
else
  echo "make-demo-phone: ImageMagick's convert is missing; no pictures made" >&2
fi

# The demo package: the folder of scripts/demo-package packed with tar.
# Its icon is drawn now, like the pictures.
stage=$(mktemp -d)
trap 'rm -rf -- "$stage"' EXIT
cp -r "$here/demo-package/hellodemo" "$stage/"
if command -v convert >/dev/null 2>&1; then
  convert -size 48x48 xc:none -fill seagreen -draw "circle 24,24 24,4" \
          -fill white -pointsize 28 -gravity center -annotate 0 "H" "$stage/hellodemo/hello.png"
fi
tar czf "$card/demo.pkg" -C "$stage" --owner=0 --group=0 hellodemo

# The suite's own programs, preloaded, for the phone emulator.
if [ -n "$build" ]; then
  pre=$root/usr/data_resource/preloadapps
  mkdir -p "$pre/appkeeper" "$pre/slideflow" "$pre/DayBadge" "$pre/LineLabel"
  cp "$build/appkeeper/appkeeper" "$build/appkeeper/ezx_appkeeper_lang.cfg" "$pre/appkeeper/"
  cp "$build/slideflow/slideflow" "$pre/slideflow/"
  cp "$build/daemons/DayBadge2/DayBadge" "$pre/DayBadge/"
  cp "$build/daemons/LineLabel/LineLabel" "$pre/LineLabel/"
  if command -v convert >/dev/null 2>&1; then
    convert -size 32x32 xc:none -fill steelblue -draw "roundrectangle 1,1 30,30 6,6" \
            -fill white -pointsize 20 -gravity center -annotate 0 "A" "$pre/appkeeper/appkeeper.png"
    convert -size 32x32 xc:none -fill '#c0502f' -draw "roundrectangle 1,1 30,30 6,6" \
            -fill white -pointsize 18 -gravity center -annotate 0 "SF" "$pre/slideflow/slideflow.png"
  fi
  cat >> "$pre/SysRegistry" <<'INI'

[d4d4d4d4-5555-4666-8777-888899990000]
Name=appkeeper
Exec=appkeeper
Icon=appkeeper.png
Directory=/usr/data_resource/preloadapps/appkeeper
JavaId=-1

[a7a7a7a7-8888-4999-8aaa-bbbbccccdddd]
Name=slideflow
Exec=slideflow
Icon=slideflow.png
Args=/mmc/mmca1/pictures
Directory=/usr/data_resource/preloadapps/slideflow
JavaId=-1

[e5e5e5e5-6666-4777-8888-9999aaaabbbb]
Name=DayBadge
Exec=DayBadge
Directory=/usr/data_resource/preloadapps/DayBadge
JavaId=-1

[f6f6f6f6-7777-4888-8999-aaaabbbbcccc]
Name=LineLabel
Exec=LineLabel
Args="China Mobile"
Directory=/usr/data_resource/preloadapps/LineLabel
JavaId=-1
INI
  sed -i 's/^Items=3f2a1c44-5b6d-4e7f-8a9b-0c1d2e3f4a5b;7b8c9d0e-1f2a-4b3c-9d4e-5f6a7b8c9d0e$/Items=d4d4d4d4-5555-4666-8777-888899990000;a7a7a7a7-8888-4999-8aaa-bbbbccccdddd;3f2a1c44-5b6d-4e7f-8a9b-0c1d2e3f4a5b;7b8c9d0e-1f2a-4b3c-9d4e-5f6a7b8c9d0e;f6f6f6f6-7777-4888-8999-aaaabbbbcccc/' \
    "$am/UserMenuTree"
  # The Java application in "Games", where its notice can be seen.
  sed -i '/^\[a0a0a0a0-1111-4222-8333-444455556666\]$/,/^Items=/s/^Items=$/Items=5e6f7a8b-9c0d-4e1f-8a2b-3c4d5e6f7a8b/' \
    "$am/UserMenuTree"
  sed -i 's/^Apps=3f2a1c44-5b6d-4e7f-8a9b-0c1d2e3f4a5b$/Apps=3f2a1c44-5b6d-4e7f-8a9b-0c1d2e3f4a5b;e5e5e5e5-6666-4777-8888-9999aaaabbbb/' \
    "$setup/ezx_sysregistry.cfg"
fi

echo "demo phone ready in $root"
