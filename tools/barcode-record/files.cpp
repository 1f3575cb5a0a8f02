// Files: bounded reading, the atomic and durable replace with held signals, checked standard
// output.
#include "tools/barcode-record/files.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace record_tool {

bool read_file(const std::string& name, size_t limit, std::string& bytes, size_t& size,
               bool& longer) {
    int fd = name == "-" ? STDIN_FILENO : open(name.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info = {};
    bool failed = fstat(fd, &info) != 0;
    off_t at = failed ? -1 : lseek(fd, 0, SEEK_CUR);
    bool regular = !failed && S_ISREG(info.st_mode) && at >= 0 && at <= info.st_size;
    size = regular ? static_cast<size_t>(info.st_size - at) : 0;

    std::vector<char> buffer(limit + 1);
    size_t got = 0;
    while (!failed && (!regular || size == limit) && got < buffer.size()) {
        ssize_t count = read(fd, buffer.data() + got, buffer.size() - got);
        if (count > 0) {
            got += static_cast<size_t>(count);
        } else if (count == 0) {
            break;
        } else if (errno != EINTR) {
            failed = true;
        }
    }
    // A regular file that changed size while read is taken as read.
    if (!regular || (size == limit && got != size)) {
        size = got;
        longer = got > limit;
    }
    bytes.assign(buffer.data(), std::min(got, limit));
    int error = errno;
    if (fd != STDIN_FILENO) {
        close(fd);
    }
    errno = error;
    return !failed;
}

std::string folder_of(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

mode_t plain_create_mode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

namespace {

// The signals that end the tool by default and that a user, a shell or a supervisor sends to
// stop it.
const int STOP_SIGNALS[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

// Blocks the stop signals that would end the tool now, those neither ignored nor blocked
// already, and gives them in `held`; `previous` gets the signal mask as it was.
void hold_stop_signals(sigset_t& held, sigset_t& previous) {
    sigemptyset(&held);
    sigprocmask(SIG_BLOCK, nullptr, &previous);
    for (int number : STOP_SIGNALS) {
        struct sigaction action = {};
        if (sigaction(number, nullptr, &action) == 0 && action.sa_handler != SIG_IGN &&
            sigismember(&previous, number) == 0) {
            sigaddset(&held, number);
        }
    }
    sigprocmask(SIG_BLOCK, &held, nullptr);
}

bool any_pending(const sigset_t& held) {
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    for (int number : STOP_SIGNALS) {
        if (sigismember(&held, number) == 1 && sigismember(&pending, number) == 1) {
            return true;
        }
    }
    return false;
}

// Gives the new file `mode` (mkstemp() makes it 0600) and `bytes`, and syncs it. Returns 0 or
// an errno.
int fill(int fd, const std::string& bytes, mode_t mode) {
    if (fchmod(fd, mode) != 0) {
        return errno;
    }
    for (size_t done = 0; done < bytes.size();) {
        ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written > 0) {
            done += static_cast<size_t>(written);
        } else if (written == 0 || errno != EINTR) {
            return written == 0 ? EIO : errno;
        }
    }
    return fsync(fd) == 0 ? 0 : errno;
}

// A rename is on the disk once the folder it changed is synced. Returns 0 or an errno.
int sync_folder(const std::string& path) {
    int fd = open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    int error = fsync(fd) == 0 ? 0 : errno;
    close(fd);  // nothing was written through it
    return error;
}

}  // namespace

// Truncating `path` and writing it in place would lose the old file to a write that fails
// halfway (a full disk, the file-size limit); instead the bytes go to a new file in the same
// folder, which rename() then puts in place in one step. On any failure before that, the new
// file is removed and `path` is as it was.
//
// The stop signals are held back from the new file's creation until its rename or removal, so
// that none can end the tool in between and leave the file behind. One that comes meanwhile
// cancels the rename, and ends the tool as it would have once they are let through again.
replace_outcome replace_file(const std::string& path, const std::string& bytes, mode_t mode,
                             int& error) {
    sigset_t held;
    sigset_t previous;
    hold_stop_signals(held, previous);
    std::string temporary = folder_of(path) + ".barcode-record-XXXXXX";
    int fd = mkstemp(temporary.data());
    replace_outcome outcome = replaced;
    if (fd < 0) {
        error = errno;
        outcome = no_temporary_file;
    } else {
        error = fill(fd, bytes, mode);
        if (close(fd) != 0 && error == 0) {
            error = errno;
        }
        if (error == 0 && any_pending(held)) {
            error = EINTR;
        }
        if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0) {
            error = errno;
        }
        if (error != 0) {
            unlink(temporary.c_str());
            outcome = not_replaced;
        } else if ((error = sync_folder(path)) != 0) {
            outcome = replaced_unsynced;
        }
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);  // a held signal ends the tool here
    return outcome;
}

namespace {

// The first error in writing standard output; 0 while there is none.
int output_error = 0;

}  // namespace

void put(const std::string& text) {
    if (fwrite(text.data(), 1, text.size(), stdout) != text.size() && output_error == 0) {
        output_error = errno;
    }
}

// Output that cannot be written whole is a failure, also when it fails only as the buffer is
// flushed at the end.
int flush_output() {
    if (fflush(stdout) != 0 && output_error == 0) {
        output_error = errno;
    }
    if (ferror(stdout) != 0 && output_error == 0) {
        output_error = EIO;
    }
    return output_error;
}

}  // namespace record_tool
