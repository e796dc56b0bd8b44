// The player's files on POSIX systems (Linux).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform.h"

namespace {

// The new file's name in the target's folder: mkstemp replaces the X's with
// characters that make a name no file has yet. Short, so that it fits
// wherever the target's own name fits.
constexpr const char *kTempName = ".playlist-XXXXXX";
// Permissions of a new file before the umask, as for any file created.
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kPermissionBits = 07777;

int open_regular(const char *path) {
    // O_NONBLOCK makes the open itself return at once for a FIFO; reads of
    // a regular file are not affected by it.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

bool fail(std::string *error, const std::string &why) {
    if (error) *error = why;
    return false;
}

bool fail_errno(std::string *error) { return fail(error, std::strerror(errno)); }

// The file a save to path replaces: path itself, or the file a symbolic
// link at path leads to. mode gets the permissions the new file takes.
bool resolve_target(const char *path, std::string *target, mode_t *mode, std::string *error) {
    struct stat st;
    if (lstat(path, &st) != 0) {
        if (errno != ENOENT) return fail_errno(error);
        *target = path;
        const mode_t mask = umask(0);
        umask(mask);
        *mode = kNewFileMode & ~mask;
        return true;
    }
    if (S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (!realpath(path, resolved) || stat(resolved, &st) != 0) return fail_errno(error);
        *target = resolved;
    } else {
        *target = path;
    }
    if (!S_ISREG(st.st_mode)) return fail(error, "It exists and is not a regular file.");
    *mode = st.st_mode & kPermissionBits;
    return true;
}

bool write_all(int fd, const std::string &bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

Input_File::~Input_File() {
    if (is_open()) close(static_cast<int>(handle_));
}

bool Input_File::open(const char *path) {
    if (is_open()) return false;
    handle_ = open_regular(path);
    return is_open();
}

bool Input_File::is_open() const { return handle_ >= 0; }

int Input_File::read(void *buffer, int size) {
    auto *bytes = static_cast<unsigned char *>(buffer);
    int got = 0;
    while (got < size) {
        const ssize_t n = ::read(static_cast<int>(handle_), bytes + got, static_cast<size_t>(size - got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<int>(n);
    }
    return got;
}

bool Input_File::seek(int64_t offset) { return lseek(static_cast<int>(handle_), offset, SEEK_SET) == offset; }

int64_t Input_File::size() const {
    struct stat st;
    return fstat(static_cast<int>(handle_), &st) == 0 ? st.st_size : -1;
}

std::FILE *Open_Regular_Stream(const char *path) {
    const int fd = open_regular(path);
    if (fd < 0) return nullptr;
    std::FILE *file = fdopen(fd, "rb");
    if (!file) close(fd);
    return file;
}

bool File_Exists(const char *path) {
    struct stat st;
    return stat(path, &st) == 0 && !S_ISDIR(st.st_mode);
}

bool Is_Regular_File(const char *path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

const char *const kLineEnd = "\n";

bool Replace_File(const char *path, const std::string &bytes, std::string *error) {
    std::string target;
    mode_t mode = 0;
    if (!resolve_target(path, &target, &mode, error)) return false;
    const std::size_t slash = target.rfind('/');
    std::string temp = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + kTempName;
    const int fd = mkstemp(temp.data());
    if (fd < 0) return fail_errno(error);
    const bool written = fchmod(fd, mode) == 0 && write_all(fd, bytes) && fsync(fd) == 0;
    const int saved_errno = errno;
    if (close(fd) == 0 && written && std::rename(temp.c_str(), target.c_str()) == 0) return true;
    if (!written) errno = saved_errno;
    fail_errno(error);
    unlink(temp.c_str());
    return false;
}
