// Stand-in libnvram: NVRAM file N is the file nvram/N in the device directory, holding its
// records back to back. Its layout, "<record size> <record count>" on one line, is read from
// nvram/N.layout; without that file the data is one record as long as the file. A third word,
// "close-fails", makes the file's close report a failure.
//
// Written in C, as the platform's library is, so that the handle crosses a C calling convention.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "standins/device_dir.h"

// Marks the handles that this library gave out; a handle without either tag is not closed. The
// second marks a file whose close is to fail.
#define HANDLE_TAG 0x4e56524d
#define HANDLE_TAG_CLOSE_FAILS 0x4e56524e

static const char CLOSE_FAILS[] = "close-fails";
static const char BLANKS[] = " \t\n";

static int parse_int(const char* text, char** end, int* value) {
    errno = 0;
    long parsed = strtol(text, end, 10);
    if (*end == text || errno != 0 || parsed < INT_MIN || parsed > INT_MAX) {
        return -1;
    }
    *value = (int)parsed;
    return 0;
}

// "<record size> <record count>", and optionally "close-fails", with nothing else.
static int parse_layout(const char* line, int* size, int* count, int* close_fails) {
    char* end = NULL;
    if (parse_int(line, &end, size) != 0 || parse_int(end, &end, count) != 0) {
        return -1;
    }
    const char* word = end + strspn(end, BLANKS);
    size_t length = strcspn(word, BLANKS);
    *close_fails = length == sizeof(CLOSE_FAILS) - 1 && strncmp(word, CLOSE_FAILS, length) == 0;
    if (length > 0 && !*close_fails) {
        return -1;
    }
    word += length;
    return word[strspn(word, BLANKS)] == '\0' ? 0 : -1;
}

// The layout may report any size and count, as a faulty library or file could.
static int read_layout(int file_lid, int fd, int* size, int* count, int* close_fails) {
    char path[PATH_MAX];
    if (device_path(path, sizeof(path), "nvram/%d.layout", file_lid) != 0) {
        return -1;
    }
    // Read with plain calls, not stdio, so that nothing here allocates: a run's heap stays the
    // program's own. A layout that is there but cannot be read (a folder in its place, an I/O
    // error) plays no state of the file: it is a fault of the simulated device, named, and the
    // run ends.
    int layout = open(path, O_RDONLY | O_CLOEXEC);
    if (layout < 0 && errno != ENOENT) {
        setup_fault(path, errno, NULL);
    } else if (layout < 0) {
        struct stat st;
        if (fstat(fd, &st) != 0 || st.st_size > INT_MAX) {
            return -1;
        }
        *size = (int)st.st_size;
        *count = 1;
        *close_fails = 0;
        return 0;
    }

    char line[64];
    ssize_t length = read(layout, line, sizeof(line) - 1);
    if (length < 0) {
        setup_fault(path, errno, NULL);
    }
    close(layout);
    line[length > 0 ? length : 0] = '\0';
    if (length <= 0 || parse_layout(line, size, count, close_fails) != 0) {
        (void)fprintf(stderr, "stand-in: %s: expected \"<record size> <record count> [%s]\"\n",
                      path, CLOSE_FAILS);
        return -1;
    }
    return 0;
}

nvm_file_handle NVM_GetFileDesc(int file_lid, int* record_size, int* record_count, int is_read) {
    // A file that cannot be opened leaves both ints as they were and gives no usable descriptor.
    nvm_file_handle handle = {-1, {file_lid, 0}};
    char path[PATH_MAX];
    if (device_path(path, sizeof(path), "nvram/%d", file_lid) != 0) {
        return handle;
    }
    int fd = open(path, (is_read ? O_RDONLY : O_RDWR) | O_CLOEXEC);
    if (fd < 0) {
        return handle;
    }
    int size = 0;
    int count = 0;
    int close_fails = 0;
    if (read_layout(file_lid, fd, &size, &count, &close_fails) != 0) {
        close(fd);
        return handle;
    }
    *record_size = size;
    *record_count = count;
    handle.fd = fd;
    handle.library_words[1] = close_fails ? HANDLE_TAG_CLOSE_FAILS : HANDLE_TAG;
    return handle;
}

int NVM_CloseFileDesc(nvm_file_handle handle) {
    int32_t tag = handle.library_words[1];
    if (handle.fd < 0 || (tag != HANDLE_TAG && tag != HANDLE_TAG_CLOSE_FAILS)) {
        return 0;
    }
    // A close that is to fail still releases the descriptor.
    int closed = close(handle.fd) == 0;
    return closed && tag == HANDLE_TAG;
}
