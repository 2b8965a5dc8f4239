#!/bin/sh
# Runs a test program in a PID namespace of its own, with its own /proc, so
# that what it starts (daemons that run "kill $(pidof am)", stand-ins named
# like the phone's processes) sees and reaches only the test's processes,
# never another test's or the machine's; when the test ends, the kernel ends
# everything left in the namespace.
#   ownpidns.sh <program> [args...]
# As root a PID namespace is made directly; otherwise inside a user namespace
# of its own where the kernel allows one. Where neither works the test runs
# among the machine's processes, and says so.
# The namespace also gets a /dev/shm of its own: preloaded libraries such as
# faketime's name their shared memory and semaphores by process ID, and the
# small IDs of a new namespace recur in every test, so a semaphore left locked
# by a killed process of one test would hang the next.
# Inside, a shell is the namespace's first process (PID 1, which the kernel
# treats apart: signals without a handler never reach it, orphans are handed
# to it) and the test its child, an ordinary process as everywhere else.
set -u
init='mount -t tmpfs -o mode=1777,size=16m ownpidns-shm /dev/shm || exit 70; "$@"; exit $?'
if unshare --pid --fork --mount-proc --kill-child true 2>/dev/null; then
  exec unshare --pid --fork --mount-proc --kill-child sh -c "$init" ownpidns "$@"
fi
if unshare --user --map-root-user --pid --fork --mount-proc --kill-child true 2>/dev/null; then
  exec unshare --user --map-root-user --pid --fork --mount-proc --kill-child sh -c "$init" ownpidns "$@"
fi
echo "ownpidns: no PID namespace can be made here; the test runs among the machine's processes" >&2
exec "$@"
