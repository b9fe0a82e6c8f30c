#include "cli/files.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Whole inputs are images; even a plain-text Netpbm file of the largest
// allowed image stays below this.
constexpr size_t maximumInputBytes = size_t{1} << 33;

std::string reason() { return std::strerror(errno); }

// Interrupting a long stream must not leave its temporary behind. A signal
// handler can reach it only through static storage: the tool has at most one
// temporary open at a time, and its name is published here before it can be
// needed.
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

// Follows symbolic links in the last part of path, as open() would, to the
// name of the file they lead to, which need not exist yet.
bool followLinks(std::string path, std::string& target)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = path;
            return true;
        }
        char link[4096];
        const ssize_t n = readlink(path.c_str(), link, sizeof link);
        if (n <= 0) {
            if (n == 0) errno = ENOENT;
            return false;
        }
        if (size_t(n) == sizeof link) {
            errno = ENAMETOOLONG;
            return false;
        }
        const size_t slash = path.rfind('/');
        if (link[0] == '/' || slash == std::string::npos)
            path.assign(link, size_t(n));
        else
            path = path.substr(0, slash + 1) + std::string(link, size_t(n));
    }
    errno = ELOOP;
    return false;
}

std::string directoryOf(const std::string& file)
{
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
}

// A name for the standard output we already hold (/dev/stdout, /proc/self/fd/1,
// or the file the shell redirected it to) is written through it: the shell
// has opened, and perhaps truncated, that file already.
bool isStandardOutput(const struct stat& st)
{
    struct stat out {};
    return fstat(STDOUT_FILENO, &out) == 0 && out.st_dev == st.st_dev && out.st_ino == st.st_ino;
}

// Devices, FIFOs and sockets are written, never replaced: the reader of a
// FIFO waits on that FIFO, and a device node is not ours to swap for a file.
Status openInPlace(const std::string& path, OutputFile& out)
{
    const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return badData(path + ": cannot open for writing: " + reason());
    out.fd = fd;
    out.ownsFd = true;
    return success();
}

// The replaced file's permission bits, and its owner and group where we may
// set them. A set-user or set-group bit survives only with the owner it had.
void keepOwnerAndMode(int fd, const struct stat& old)
{
    mode_t mode = old.st_mode & 07777;
    if (old.st_uid != geteuid() || old.st_gid != getegid()) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0) {
            if (fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) mode &= ~mode_t{S_ISGID};
            mode &= ~mode_t{S_ISUID};
        }
    }
    fchmod(fd, mode);
}

Status openReplacement(const std::string& target, const struct stat* existing, OutputFile& out)
{
    const std::string directory = directoryOf(target);
    std::string temp = directory + (directory == "/" ? "" : "/") + ".velto-XXXXXX";
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
    if (fd < 0) {
        errno = createError;
        return badData(out.path + ": cannot create a file in its directory: " + reason());
    }
    out.fd = fd;
    out.ownsFd = true;
    out.target = target;
    out.tempPath = temp;
    if (existing) {
        keepOwnerAndMode(fd, *existing);
    } else {
        // mkstemp makes the file private; give it the mode a plain creation would.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    return success();
}

void syncDirectoryOf(const std::string& file)
{
    const int fd = open(directoryOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

InputStream::~InputStream()
{
    if (owned && fd >= 0) close(fd);
}

Status openInput(const std::string& path, InputStream& in)
{
    in.name = inputName(path);
    if (path == "-") {
        in.fd = STDIN_FILENO;
        in.owned = false;
        return success();
    }
    in.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0) return badData(in.name + ": cannot open: " + reason());
    in.owned = true;
    struct stat st {};
    if (fstat(in.fd, &st) == 0 && S_ISDIR(st.st_mode))
        return badData(in.name + ": is a directory");
    return success();
}

Status readFully(InputStream& in, uint8_t* buffer, size_t count, size_t& got)
{
    got = 0;
    while (got < count) {
        const ssize_t n = read(in.fd, buffer + got, count - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return badData(in.name + ": read error: " + reason());
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return success();
}

Status readWholeInput(const std::string& path, std::vector<uint8_t>& bytes)
{
    InputStream in;
    Status s = openInput(path, in);
    if (!s.ok()) return s;
    bytes.clear();
    size_t size = 0;
    for (;;) {
        if (bytes.size() - size < 65536) {
            if (bytes.size() >= maximumInputBytes) return badData(in.name + ": too large");
            bytes.resize(bytes.size() < 65536 ? 131072 : bytes.size() * 2);
        }
        size_t got = 0;
        s = readFully(in, bytes.data() + size, bytes.size() - size, got);
        if (!s.ok()) return s;
        size += got;
        if (size < bytes.size()) break;  // the input ended
    }
    bytes.resize(size);
    return success();
}

OutputFile::~OutputFile()
{
    if (!committed) discardOutput(*this);
}

Status openOutput(const std::string& path, OutputFile& out)
{
    out.path = path;
    out.committed = false;
    if (path == "-") {
        out.fd = STDOUT_FILENO;
        return success();
    }
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        if (isStandardOutput(st)) {
            out.fd = STDOUT_FILENO;
            return success();
        }
        if (S_ISDIR(st.st_mode)) return badData(path + ": is a directory");
        if (S_ISBLK(st.st_mode))
            return badData(path + ": is a block device; velto writes files, character devices, "
                                  "FIFOs and sockets");
        if (!S_ISREG(st.st_mode)) return openInPlace(path, out);
        // The file itself is replaced, in its own directory: a symbolic link
        // to it keeps pointing at the new content.
        char* real = realpath(path.c_str(), nullptr);
        if (!real) return badData(path + ": cannot write: " + reason());
        const std::string target = real;
        std::free(real);
        return openReplacement(target, &st, out);
    }
    if (errno != ENOENT) return badData(path + ": cannot write: " + reason());
    // A new file, perhaps at the end of a symbolic link to a missing one.
    std::string target;
    if (!followLinks(path, target)) return badData(path + ": cannot write: " + reason());
    return openReplacement(target, nullptr, out);
}

Status writeOutput(OutputFile& out, const void* data, size_t count)
{
    const auto* p = static_cast<const uint8_t*>(data);
    while (count > 0) {
        const ssize_t n = write(out.fd, p, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            return badData(outputName(out.path) + ": write error: " + reason());
        }
        p += n;
        count -= static_cast<size_t>(n);
    }
    return success();
}

Status commitOutput(OutputFile& out, bool replace)
{
    const int fd = out.fd;
    const bool owned = out.ownsFd;
    out.fd = -1;
    out.ownsFd = false;
    if (out.tempPath.empty()) {
        // A device, FIFO or socket reports a late write error on close.
        if (owned && close(fd) != 0) return badData(out.path + ": write error: " + reason());
        out.committed = true;
        return success();
    }
    // The bytes reach the disk before the name points at them, so that a
    // crash cannot leave an empty file where a good one stood. A file system
    // that cannot sync says EINVAL or EROFS, which is no write error.
    const bool synced = fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    const std::string syncError = synced ? "" : reason();
    const bool closed = close(fd) == 0;
    if (!synced || !closed) {
        const std::string why = synced ? reason() : syncError;
        discardOutput(out);
        return badData(out.path + ": write error: " + why);
    }
    // A file system that cannot rename without replacing falls back to a
    // plain rename: the caller has looked for the target before the work.
    const bool renamed =
        (!replace && renameat2(AT_FDCWD, out.tempPath.c_str(), AT_FDCWD, out.target.c_str(),
                               RENAME_NOREPLACE) == 0) ||
        ((replace || errno == EINVAL || errno == ENOSYS) &&
         rename(out.tempPath.c_str(), out.target.c_str()) == 0);
    if (!renamed) {
        const bool exists = errno == EEXIST;
        const std::string why = reason();
        discardOutput(out);
        return badData(out.path + (exists ? ": " + existsAlready : ": cannot write: " + why));
    }
    temporaryPending.store(false);
    out.tempPath.clear();
    out.committed = true;
    syncDirectoryOf(out.target);
    return success();
}

void discardOutput(OutputFile& out)
{
    if (out.ownsFd && out.fd >= 0) close(out.fd);
    out.fd = -1;
    out.ownsFd = false;
    if (out.tempPath.empty()) return;
    unlink(out.tempPath.c_str());
    temporaryPending.store(false);
    out.tempPath.clear();
}
