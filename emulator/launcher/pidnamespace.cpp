#include "pidnamespace.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

const char* const kInsideNamespaceVariable = "EZX_EMULATOR_NAMESPACE";

bool insideOwnPidNamespace()
{
    const char* v = std::getenv(kInsideNamespaceVariable);
    return v && std::strcmp(v, "1") == 0 && getpid() == 1;
}

namespace {

volatile sig_atomic_t g_forward = 0;

void noteSignal(int sig)
{
    g_forward = sig;
}

// Runs `args` with its output thrown away; true when it exits with 0.
bool runQuietly(const std::vector<const char*>& args)
{
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 1);
            dup2(null, 2);
        }
        std::vector<char*> v;
        for (const char* a : args)
            v.push_back(const_cast<char*>(a));
        v.push_back(nullptr);
        execvp(v[0], v.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The first child of `pid` (the launcher that `unshare` forked), or 0.
pid_t childOf(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children";
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f)
        return 0;
    long child = 0;
    if (std::fscanf(f, "%ld", &child) != 1)
        child = 0;
    std::fclose(f);
    return static_cast<pid_t>(child);
}

} // namespace

UnshareFlags probeUnshare()
{
    UnshareFlags how;
    const char* privileged[] = {"--pid", "--fork", "--mount-proc", nullptr};
    const char* unprivileged[] = {"--user", "--map-root-user", "--pid", "--fork", "--mount-proc", nullptr};
    for (const char** set : {privileged, unprivileged}) {
        std::vector<const char*> args = {"unshare"};
        for (const char** f = set; *f; ++f)
            args.push_back(*f);
        args.push_back("true");
        if (runQuietly(args)) {
            how.available = true;
            int i = 0;
            for (const char** f = set; *f; ++f)
                how.flags[i++] = *f;
            return how;
        }
    }
    return how;
}

int runInsideNamespace(const UnshareFlags& how, int argc, char** argv)
{
    struct sigaction sa = {};
    sa.sa_handler = noteSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &sa, nullptr);

    std::vector<char*> args;
    args.push_back(const_cast<char*>("unshare"));
    for (const char* f : how.flags)
        if (f)
            args.push_back(const_cast<char*>(f));
    // Should `unshare` itself die, the launcher inside gets SIGTERM and ends
    // everything it started.
    args.push_back(const_cast<char*>("--kill-child=SIGTERM"));
    static char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = 0;
        args.push_back(self);
    } else {
        args.push_back(argv[0]);
    }
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    setenv(kInsideNamespaceVariable, "1", 1);

    const pid_t unshare = fork();
    if (unshare < 0) {
        std::perror("phone-emulator: fork");
        return 1;
    }
    if (unshare == 0) {
        // If this parent is killed outright, `unshare` goes too (and with
        // it, through --kill-child, the phone inside).
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execvp("unshare", args.data());
        std::perror("phone-emulator: unshare");
        _exit(127);
    }
    int status = 0;
    bool forwarded = false;
    for (;;) {
        if (g_forward && !forwarded) {
            const pid_t inner = childOf(unshare);
            if (inner > 0) {
                kill(inner, SIGTERM);
                forwarded = true;
            } else {
                kill(unshare, SIGKILL);   // nothing started inside yet
            }
        }
        const pid_t r = waitpid(unshare, &status, 0);
        if (r == unshare)
            break;
        if (r < 0 && errno != EINTR)
            return 1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
