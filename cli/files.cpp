#include "cli/files.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
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

void removeTemporaryAndStop(int signalNumber)
{
    if (temporaryPending.load()) unlink(pendingTemporary);
    raise(signalNumber);  // the handler was reset: this ends the program as the signal would
}

void watchForTemporary(const std::string& temp)
{
    static_assert(std::atomic<bool>::is_always_lock_free);
    if (temp.size() >= sizeof pendingTemporary) return;
    std::memcpy(pendingTemporary, temp.c_str(), temp.size() + 1);
    temporaryPending.store(true);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the caller ignores (nohup, a background job) stays ignored.
        struct sigaction current {};
        if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = removeTemporaryAndStop;
        action.sa_flags = SA_RESETHAND;
        sigaction(signalNumber, &action, nullptr);
    }
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
    const size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string temp = directory + (slash == std::string::npos ? "/" : "") + ".velto-XXXXXX";
    // No signal between creating the temporary and publishing its name.
    sigset_t stopping, previous;
    sigemptyset(&stopping);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopping, signalNumber);
    pthread_sigmask(SIG_BLOCK, &stopping, &previous);
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    const int createError = errno;
    if (fd >= 0) watchForTemporary(temp);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = createError;
    if (fd < 0) return badData(path + ": cannot create a file in its directory: " + reason());
    out.fd = fd;
    out.tempPath = temp;
    // mkstemp makes the file private; give it the mode a plain creation would.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    return success();
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

Status commitOutput(OutputFile& out)
{
    if (out.tempPath.empty()) {
        out.committed = true;
        return success();
    }
    const int fd = out.fd;
    out.fd = -1;
    if (close(fd) != 0) {
        const std::string why = reason();
        discardOutput(out);
        return badData(out.path + ": write error: " + why);
    }
    if (rename(out.tempPath.c_str(), out.path.c_str()) != 0) {
        const std::string why = reason();
        discardOutput(out);
        return badData(out.path + ": cannot write: " + why);
    }
    temporaryPending.store(false);
    out.tempPath.clear();
    out.committed = true;
    return success();
}

void discardOutput(OutputFile& out)
{
    if (out.tempPath.empty()) return;
    if (out.fd >= 0) close(out.fd);
    out.fd = -1;
    unlink(out.tempPath.c_str());
    temporaryPending.store(false);
    out.tempPath.clear();
}
