#include "cli/io/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/io/signal_cleanup.h"

namespace {

std::string reason() { return std::strerror(errno); }

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
    const int fd = createTemporary(temp);
    if (fd < 0) return badData(out.path + ": cannot create a file in its directory: " + reason());
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
    forgetTemporary();
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
    forgetTemporary();
    out.tempPath.clear();
}
