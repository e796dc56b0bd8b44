// Opening files by their names' bytes, as the system sees them: the
// library's file functions re-encode names, and opening a FIFO or a device
// for reading can block for ever, so songs and playlists are opened here,
// regular files only.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "player.h"

int Open_Regular_File(const char *path) {
    // O_NONBLOCK makes the open itself return at once for a FIFO; reads of
    // a regular file are not affected by it.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

bool File_Exists(const char *path) {
    struct stat st;
    return stat(path, &st) == 0 && !S_ISDIR(st.st_mode);
}

bool Is_Regular_File(const char *path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}
