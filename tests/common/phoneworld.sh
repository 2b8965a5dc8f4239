#!/bin/sh
# Runs one test program in the phone's world instead of a desktop's:
#
#   phoneworld.sh fat  <test program> [arguments...]
#       BusyBox applets first on the PATH (tar, cp, rm, mkdir, sh, ...), and
#       the memory card on a FAT file system owned by another user
#       (EZX_TEST_CARD=fat: each phone root mounts an image with fusefat).
#   phoneworld.sh user <test program> [arguments...]
#       BusyBox applets first on the PATH, run as an ordinary user (nobody),
#       with a temporary folder of that user's own.
#
# Exits 77 (the tests' "skipped") with a message when the machine lacks what
# the profile needs.
set -eu
profile=$1
shift

skip() {
    echo "SKIP: phone-world profile '$profile': $*"
    exit 77
}

# The harness's own tools are found before BusyBox takes over the PATH.
busybox=$(command -v busybox) || skip "busybox is not installed (apt-get install busybox)"
setpriv=$(command -v setpriv || true)
fusefat=$(command -v fusefat || true)
fusermount=$(command -v fusermount || true)
mkfs=$(PATH=/usr/sbin:/sbin:$PATH command -v mkfs.vfat || true)

work=$(mktemp -d "${TMPDIR:-/tmp}/phoneworld.XXXXXX")
cleanup() { rm -rf "$work"; }
trap cleanup EXIT INT TERM

mkdir "$work/bin"
"$busybox" --install -s "$work/bin"
export PATH="$work/bin:$PATH"
export EZX_PHONE_WORLD="$profile"

case $profile in
fat)
    [ -n "$fusefat" ] && [ -n "$fusermount" ] && [ -n "$mkfs" ] \
        || skip "needs fusefat and mkfs.vfat (apt-get install fusefat dosfstools)"
    # One trial mount: where the machine refuses FUSE, every FAT test would.
    truncate -s 8M "$work/trial.img"
    "$mkfs" "$work/trial.img" >/dev/null 2>&1 || skip "mkfs.vfat cannot make an image here"
    mkdir "$work/trial"
    if ! "$fusefat" -o rw+ "$work/trial.img" "$work/trial" >/dev/null 2>&1; then
        skip "this machine refuses to mount a FAT image with fusefat (no /dev/fuse, or no permission)"
    fi
    mounted=no
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        if [ "$(stat -c %d "$work/trial")" != "$(stat -c %d "$work")" ]; then mounted=yes; break; fi
        sleep 0.1
    done
    "$fusermount" -u -z "$work/trial" 2>/dev/null || true
    [ $mounted = yes ] || skip "fusefat started but the FAT image never appeared mounted"
    export EZX_TEST_CARD=fat
    "$@"
    ;;
user)
    if [ "$(id -u)" -ne 0 ]; then
        # Already an ordinary user.
        "$@"
    else
        [ -n "$setpriv" ] || skip "needs setpriv (util-linux) to run as an ordinary user"
        uid=65534
        mkdir "$work/tmp"
        chown "$uid:$uid" "$work/tmp"
        chmod 0755 "$work"
        TMPDIR="$work/tmp" HOME="$work/tmp" \
            "$setpriv" --reuid=$uid --regid=$uid --clear-groups -- "$@"
    fi
    ;;
*)
    echo "phoneworld.sh: unknown profile '$profile' (fat or user)" >&2
    exit 2
    ;;
esac
