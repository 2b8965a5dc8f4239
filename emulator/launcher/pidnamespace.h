#pragma once
// Running the phone in a PID namespace of its own.
//
// The phone's programs end the platform's processes by name ("kill $(pidof
// am)", "kill -9 $(pidof phone)"); on a desktop such a command would reach
// every process of that name on the machine. Inside a PID namespace with its
// own /proc, `pidof` sees only the phone's processes.
//
// The launcher runs itself again inside one, through util-linux's
// `unshare --pid --fork --mount-proc` (with `--user --map-root-user` where
// only an unprivileged namespace is allowed), and stays outside as a small
// parent that passes SIGTERM, SIGINT and SIGHUP on to the launcher inside
// (`unshare` itself ignores them) and ends with its exit status.

// Set in the environment of the launcher inside the namespace.
extern const char* const kInsideNamespaceVariable;

// True for the launcher running inside the namespace made for it.
bool insideOwnPidNamespace();

// The flags of `unshare` that work on this machine (tried with `true`);
// `available` is false when no PID namespace can be made here.
struct UnshareFlags
{
    bool available = false;
    const char* flags[6] = {};
};
UnshareFlags probeUnshare();

// Runs `argv` (this program) again inside a new PID namespace and waits for
// it; returns its exit status. Never returns when the exec fails (status 127).
int runInsideNamespace(const UnshareFlags& how, int argc, char** argv);
