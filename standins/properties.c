// Stand-in libcutils: system properties, one file a property in the device directory's
// properties/ folder, the file holding the value. One trailing newline in a file is not part of
// the value, so that `echo Ready > properties/nvram_init` sets "Ready"; written values get one.
//
// The rules are the target release's. The caller's library refuses a key of PROPERTY_KEY_MAX
// bytes or more and a value of PROPERTY_VALUE_MAX bytes or more: property_set returns -1. The
// property service drops a write to a "ro." property that already has a value without telling
// the writer: property_set returns 0. Either way nothing changes.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "platform/platform.h"
#include "standins/device_dir.h"

static const char READ_ONLY_PREFIX[] = "ro.";

// Keys become file names: no separators, and nothing that could name a hidden or parent file.
static int valid_key(const char* key) {
    if (key == NULL || key[0] == '\0' || key[0] == '.') {
        return 0;
    }
    size_t length = strnlen(key, PROPERTY_KEY_MAX);
    return length < PROPERTY_KEY_MAX && memchr(key, '/', length) == NULL;
}

static int property_path(char* path, size_t size, const char* key) {
    return valid_key(key) ? device_path(path, size, "properties/%s", key) : -1;
}

// Reads a stored value into value (PROPERTY_VALUE_MAX bytes); returns its length, or -1 when the
// property is unset. A value longer than the platform allows is cut to the longest it allows. A
// file that is there but cannot be read (a folder in its place, an I/O error) is no value of any
// kind but a fault of the simulated device: it is named, and the run ends.
static int read_value(const char* path, char* value) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        return -1;
    }
    if (fd < 0) {
        setup_fault(path, errno, NULL);
    }
    char stored[PROPERTY_VALUE_MAX + 1];  // room for the longest value and its newline
    size_t length = 0;
    ssize_t n = 0;
    while (length < sizeof(stored) && (n = read(fd, stored + length, sizeof(stored) - length)) > 0) {
        length += (size_t)n;
    }
    if (n < 0) {
        setup_fault(path, errno, NULL);
    }
    close(fd);

    if (length > 0 && stored[length - 1] == '\n') {
        --length;
    }
    if (length > PROPERTY_VALUE_MAX - 1) {
        length = PROPERTY_VALUE_MAX - 1;
    }
    memcpy(value, stored, length);
    value[length] = '\0';
    return (int)strlen(value);
}

int property_get(const char* key, char* value, const char* default_value) {
    char path[PATH_MAX];
    if (property_path(path, sizeof(path), key) == 0) {
        int length = read_value(path, value);
        if (length >= 0) {
            return length;
        }
    }
    size_t length = default_value == NULL ? 0 : strnlen(default_value, PROPERTY_VALUE_MAX - 1);
    memcpy(value, default_value == NULL ? "" : default_value, length);
    value[length] = '\0';
    return (int)length;
}

static int write_all(int fd, const char* bytes, size_t length) {
    while (length > 0) {
        ssize_t n = write(fd, bytes, length);
        if (n < 0) {
            return -1;
        }
        bytes += n;
        length -= (size_t)n;
    }
    return 0;
}

int property_set(const char* key, const char* value) {
    if (value == NULL) {
        value = "";
    }
    char path[PATH_MAX];
    char temp[PATH_MAX];
    size_t length = strnlen(value, PROPERTY_VALUE_MAX);
    if (length >= PROPERTY_VALUE_MAX || property_path(path, sizeof(path), key) != 0 ||
        device_path(temp, sizeof(temp), "properties/.%s.%ld", key, (long)getpid()) != 0) {
        return -1;
    }

    // The value is written aside and then put in place whole, so that a reader never sees half
    // of it; a read-only property is put in place only where none exists yet, and is otherwise
    // dropped as the service drops it. A folder that cannot take the value is no refusal of the
    // platform's but a fault of the simulated device: it is named, and the run ends.
    int fd = open(temp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        folder_fault("properties", errno);
    }
    int error = write_all(fd, value, length) == 0 && write_all(fd, "\n", 1) == 0 ? 0 : errno;
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temp);
        folder_fault("properties", error);
    }

    int dropped = 0;
    if (strncmp(key, READ_ONLY_PREFIX, sizeof(READ_ONLY_PREFIX) - 1) == 0) {
        if (link(temp, path) != 0) {
            dropped = errno == EEXIST;
            error = dropped ? 0 : errno;
        }
    } else if (rename(temp, path) != 0) {
        error = errno;
    }
    unlink(temp);
    if (error != 0) {
        setup_fault(path, error, NULL);
    }
    // The write gives way to the value there, which must be one: a file that cannot be read holds
    // none.
    char stored[PROPERTY_VALUE_MAX];
    return dropped && read_value(path, stored) < 0 ? -1 : 0;
}
