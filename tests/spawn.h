// Starting the built programs from the end-to-end tests.
#pragma once

#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

// This process's environment with `name` set to `value`.
inline std::vector<std::string> environment_with(const std::string& name, const std::string& value) {
    std::vector<std::string> env = {name + "=" + value};
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (std::string(*variable).rfind(name + "=", 0) != 0) {
            env.push_back(*variable);
        }
    }
    return env;
}

// Starts args[0], looked up on PATH when it has no slash, in `dir` if named, with each
// descriptor of `descriptors` ({this process's, the child's}) as the child's. The child is
// killed when the test program ends, however it ends (a timeout's SIGKILL too), so that none is
// left running; strictly, when the thread that started it ends. It starts with no signal
// ignored or blocked, as a shell's foreground job does, whatever the test program inherited: a
// background job of a shell inherits SIGINT and SIGQUIT ignored.
//
// `as_plain_user`: the child is bound by permission bits and ownership as a user other than root
// is. A test program run as root (as CI runs) starts it still root, but without the powers to
// override them; one run as another user is bound already.
inline pid_t spawn(std::vector<std::string> args, std::vector<std::string> env,
                   const std::vector<std::pair<int, int>>& descriptors, const char* dir = nullptr,
                   bool as_plain_user = false) {
    auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> result;
        for (std::string& s : strings) {
            result.push_back(s.data());
        }
        result.push_back(nullptr);
        return result;
    };
    std::vector<char*> argv = pointers(args), envp = pointers(env);
    int told[2];  // the child's errno, if it cannot start
    if (pipe2(told, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {  // only calls that are safe between fork and exec
        bool ready = prctl(PR_SET_PDEATHSIG, SIGKILL) == 0 && getppid() == parent;
        if (as_plain_user && geteuid() == 0) {
            // Gone from the bounding set, a power is not root's after exec.
            for (int power : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
                ready = ready && prctl(PR_CAPBSET_DROP, power) == 0;
            }
        }
        for (int number = 1; number < NSIG; ++number) {
            signal(number, SIG_DFL);
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (const auto& [from, to] : descriptors) {
            ready = ready && (from == to ? fcntl(from, F_SETFD, 0) : dup2(from, to)) >= 0;
        }
        if (ready && (dir == nullptr || chdir(dir) == 0)) {
            execvpe(argv[0], argv.data(), envp.data());
        }
        int error = errno;
        ssize_t written = write(told[1], &error, sizeof(error));
        _exit(written == sizeof(error) ? 127 : 126);
    }
    close(told[1]);
    int error = 0;
    bool started = pid > 0 && read(told[0], &error, sizeof(error)) == 0;
    close(told[0]);
    if (!started) {
        if (pid > 0) {
            waitpid(pid, nullptr, 0);
        }
        throw std::runtime_error("cannot start " + args[0]);
    }
    return pid;
}

// The exit status, or 1000 and the number of the signal that ended the process.
inline int wait_for(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}
