// Starting the built programs from the end-to-end tests.
#pragma once

#include <spawn.h>
#include <sys/wait.h>

#include <stdexcept>
#include <string>
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

// Starts args[0], looked up on PATH when it has no slash.
inline pid_t spawn(std::vector<std::string> args, std::vector<std::string> env,
                   const posix_spawn_file_actions_t* actions) {
    auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> result;
        for (std::string& s : strings) {
            result.push_back(s.data());
        }
        result.push_back(nullptr);
        return result;
    };
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0].c_str(), actions, nullptr, pointers(args).data(),
                     pointers(env).data()) != 0) {
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
