#include "cli/io/signal_cleanup.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

// A signal handler can reach the temporary only through static storage: the
// tool has at most one temporary open at a time, and its name is published
// here before it can be needed.
char pendingTemporary[4096];
std::atomic<bool> temporaryPending{false};

// Every signal whose default action ends the process. SIGKILL cannot be
// caught; the real-time signals are added at run time.
constexpr int endingSignals[] = {
    SIGHUP, SIGINT, SIGQUIT, SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGFPE, SIGUSR1, SIGSEGV,
    SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGIO
    SIGIO,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

void removeTemporaryAndStop(int signalNumber)
{
    if (temporaryPending.load()) unlink(pendingTemporary);
    // The handler was reset and the signal is blocked until it returns: then
    // it ends the program as it would have without us.
    raise(signalNumber);
}

void catchEndingSignal(int signalNumber)
{
    // A signal the caller ignores (nohup, a background job) stays ignored, and
    // a handler installed before us (a sanitizer's) stays in place.
    struct sigaction current {};
    if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler != SIG_DFL ||
        (current.sa_flags & SA_SIGINFO) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = removeTemporaryAndStop;
    action.sa_flags = SA_RESETHAND;
    sigfillset(&action.sa_mask);  // one handler at a time; the first signal decides
    sigaction(signalNumber, &action, nullptr);
}

void catchEndingSignals()
{
    for (int signalNumber : endingSignals) catchEndingSignal(signalNumber);
    for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; ++signalNumber)
        catchEndingSignal(signalNumber);
}

bool publishTemporary(const std::string& temp)
{
    static_assert(std::atomic<bool>::is_always_lock_free);
    if (temp.size() >= sizeof pendingTemporary) return false;
    std::memcpy(pendingTemporary, temp.c_str(), temp.size() + 1);
    temporaryPending.store(true);
    return true;
}

}  // namespace

int createTemporary(std::string& temp)
{
    catchEndingSignals();
    // No signal between creating the temporary and publishing its name.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    int createError = errno;
    if (fd >= 0 && !publishTemporary(temp)) {
        unlink(temp.c_str());
        close(fd);
        fd = -1;
        createError = ENAMETOOLONG;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = createError;
    return fd;
}

void forgetTemporary()
{
    temporaryPending.store(false);
}
