#include "cli/io/input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Whole inputs are images; even a plain-text Netpbm file of the largest
// allowed image stays below this.
constexpr size_t maximumInputBytes = size_t{1} << 33;

std::string reason() { return std::strerror(errno); }

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
