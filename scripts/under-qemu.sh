#!/bin/sh
# Runs a command in which programs built for ARM start as if this machine
# were one: a user namespace of its own, with its own binfmt_misc, where
# qemu-user is registered for the architecture's ELF programs. Nothing of the
# machine is changed (its own binfmt_misc is never touched), and everything
# started inside ends with the command.
#   scripts/under-qemu.sh armhf|arm64 <command> [args...]
#
# Run as root, the machine's users and groups keep their numbers inside (chown
# to another user works); otherwise the caller is root inside. Either way the
# namespace has no power over the machine itself: mknod of devices and
# chattr +i are refused there, and the tests that need them skip.
set -eu

usage() { echo "usage: $0 armhf|arm64 <command> [args...]" >&2; exit 2; }
fail() { echo "under-qemu: $*" >&2; exit 1; }

[ $# -ge 2 ] || usage
arch=$1

# ELF header of the architecture's programs (32 or 64 bit, little endian,
# executable or position-independent), and the bytes that must match.
case $arch in
armhf)
    qemu=qemu-arm
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x28\x00'
    ;;
arm64)
    qemu=qemu-aarch64
    magic='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00'
    ;;
*) usage ;;
esac
mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

if [ "${EZX_UNDER_QEMU_INSIDE:-}" = "$arch" ]; then
    shift
    unset EZX_UNDER_QEMU_INSIDE
    mount -t proc proc /proc || fail "cannot mount /proc in the new namespace"
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null \
        || fail "this kernel gives a user namespace no binfmt_misc of its own (Linux 6.7 or later needed)"
    # F: qemu is opened now, so it starts from any folder and mount namespace.
    printf '%s' ":ezx-$arch:M::$magic:$mask:$qemu_path:F" > /proc/sys/fs/binfmt_misc/register \
        || fail "cannot register $qemu_path in binfmt_misc"
    exec "$@"
fi

qemu_path=$(command -v "$qemu") \
    || fail "$qemu is missing: scripts/cross.sh $arch installs it (qemu-user 10 from bookworm-backports)"
export qemu_path EZX_UNDER_QEMU_INSIDE=$arch
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")

# unshare ignores SIGINT and SIGTERM while it waits for what it started, and
# its --kill-child does not outlive the namespace's first program taking root
# powers at exec. So a signal to this script (a timeout, a cancelled run) kills
# that first process outright, and with it the kernel ends everything inside;
# then unshare.
pid=
stop() {
    if [ -n "$pid" ]; then
        kill -KILL $(pgrep -P "$pid") 2>/dev/null || true
        kill -KILL "$pid" 2>/dev/null || true
    fi
    exit 143
}
trap stop INT TERM HUP

if [ "$(id -u)" != 0 ]; then
    unshare --user --map-root-user --mount --pid --fork --kill-child sh "$self" "$@" &
    pid=$!
    status=0
    wait $pid || status=$?
    exit $status
fi

# As root: the new namespace maps every user and group to itself. Its maps are
# written from here, once the namespace exists; the inside waits for them.
unshare --user --mount --pid --fork --kill-child sh -c '
    while [ -z "$(cat /proc/self/uid_map)" ]; do sleep 0.02; done
    exec sh "$0" "$@"' "$self" "$@" &
pid=$!
ours=$(readlink /proc/self/ns/user)
tries=0
while [ "$(readlink /proc/$pid/ns/user 2>/dev/null || echo "$ours")" = "$ours" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 500 ] || ! kill -0 $pid 2>/dev/null; then
        kill -KILL $pid 2>/dev/null || true
        fail "no user namespace can be made here"
    fi
    sleep 0.02
done
echo "0 0 4294967295" > /proc/$pid/uid_map
echo "0 0 4294967295" > /proc/$pid/gid_map
status=0
wait $pid || status=$?
exit $status
