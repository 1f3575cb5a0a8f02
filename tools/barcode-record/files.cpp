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
#include <chrono>
#include <random>
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

// Gives the new file `mode` (it was made 0600) and `bytes`, and syncs it. Returns 0 or an
// errno.
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

// A link or a rename is on the disk once the folder it changed is synced. Returns 0 or an
// errno.
int sync_folder(const std::string& path) {
    int fd = open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    int error = fsync(fd) == 0 ? 0 : errno;
    close(fd);  // nothing was written through it
    return error;
}

// The name a temporary file gets in `folder`, hidden from a plain ls: six letters and digits in
// place of the X's, at random. A name taken already is tried again, so the clock and the
// process number make random enough.
const char TEMPORARY_NAME[] = ".barcode-record-XXXXXX";

std::string temporary_name(const std::string& folder) {
    static const char LETTERS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937 random(static_cast<std::mt19937::result_type>(
                                   std::chrono::steady_clock::now().time_since_epoch().count()) ^
                               static_cast<std::mt19937::result_type>(getpid()));
    std::uniform_int_distribution<size_t> pick(0, sizeof(LETTERS) - 2);
    std::string name = folder + TEMPORARY_NAME;
    std::generate(name.end() - 6, name.end(), [&] { return LETTERS[pick(random)]; });
    return name;
}

// Links the unnamed file open as `fd` as `name`, through /proc, or where that is not mounted
// by the descriptor itself (which needs CAP_DAC_READ_SEARCH). Returns 0 or an errno.
int link_as(int fd, const std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return 0;
    }
    int error = errno;
    if (error == ENOENT && linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
        return 0;
    }
    return error;
}

// Puts the unnamed file open as `fd` at `path`: linked there at once when nothing is there;
// else linked under a temporary name beside it and renamed over it, the one moment when a kill
// can leave a file behind. Returns 0 or an errno.
int link_into_place(int fd, const std::string& path) {
    int error = link_as(fd, path);
    for (int tries = 0; error == EEXIST && tries < 100; ++tries) {
        const std::string temporary = temporary_name(folder_of(path));
        if ((error = link_as(fd, temporary)) == 0) {
            if (rename(temporary.c_str(), path.c_str()) != 0) {
                error = errno;
                unlink(temporary.c_str());
            }
            return error;
        }
    }
    return error;
}

// The new file, in the folder of `path`: unnamed where the file system allows it, so that
// nothing is left of it should the tool be killed (SIGKILL) before it is linked; else named,
// with its name in `temporary`, which stays empty for an unnamed file.
int create_temporary(const std::string& path, std::string& temporary) {
    temporary.clear();
    int fd = open(folder_of(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
        return fd;
    }
    temporary = folder_of(path) + TEMPORARY_NAME;
    return mkstemp(temporary.data());
}

// Ends the writing of the new file open as `fd`, whose first failure so far is `error`: closes
// it, and unless a step failed or a stop signal came meanwhile, puts it in place at `path`.
// The descriptor written through is closed, and its error checked, before the file is put in
// place: some file systems (NFS) report a failed write-back only then. An unnamed file is
// linked through a second descriptor of it, kept open meanwhile. Returns 0 or an errno.
int put_in_place(int fd, const std::string& temporary, const std::string& path,
                 const sigset_t& held, int error) {
    const bool unnamed = temporary.empty();
    int kept = unnamed ? fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
    if (error == 0 && unnamed && kept < 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && any_pending(held)) {
        error = EINTR;
    }
    if (error == 0) {
        error = unnamed ? link_into_place(kept, path)
                        : (rename(temporary.c_str(), path.c_str()) == 0 ? 0 : errno);
    }
    if (kept >= 0) {
        close(kept);  // the file was synced and closed through fd
    }
    return error;
}

}  // namespace

// Truncating `path` and writing it in place would lose the old file to a write that fails
// halfway (a full disk, the file-size limit); instead the bytes go to a new file in the same
// folder, which is then put in place in one step: linked, or renamed. On any failure before
// that, the new file is removed and `path` is as it was.
//
// The stop signals are held back from the new file's creation until it is in place or removed,
// so that none can end the tool in between and leave a named file behind. One that comes
// meanwhile cancels the replace, and ends the tool as it would have once they are let through
// again.
replace_outcome replace_file(const std::string& path, const std::string& bytes, mode_t mode,
                             int& error) {
    sigset_t held;
    sigset_t previous;
    hold_stop_signals(held, previous);
    std::string temporary;  // empty: the new file is unnamed
    int fd = create_temporary(path, temporary);
    replace_outcome outcome = replaced;
    if (fd < 0) {
        error = errno;
        outcome = no_temporary_file;
    } else if ((error = put_in_place(fd, temporary, path, held, fill(fd, bytes, mode))) != 0) {
        if (!temporary.empty()) {
            unlink(temporary.c_str());
        }
        outcome = not_replaced;
    } else if ((error = sync_folder(path)) != 0) {
        outcome = replaced_unsynced;
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
