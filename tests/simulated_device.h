// A simulated device in a temporary directory, and the program as built running against it
// through the stand-in platform libraries: shared by the end-to-end tests and the stand-ins' own.
// The test program defines VOSSEL_PROGRAM, the program's path, and VOSSEL_EMULATOR, the words
// that start it (empty on the host).
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/spawn.h"
#include "tests/temporary_folder.h"

namespace fs = std::filesystem;

inline const char DEVICE_DIR[] = "VOSSEL_DEVICE_DIR";

// A device directory: properties/ and nvram/, as the stand-ins read them. Its NVRAM restore has
// finished: "nvram_init" reads "Ready".
class Device {
  public:
    Device() : folder_("vossel-device"), dir_(folder_.path()) {
        fs::create_directory(dir_ / "properties");
        fs::create_directory(dir_ / "nvram");
        write("properties/nvram_init", "Ready\n");
    }

    const fs::path& dir() const { return dir_; }

    void write(const fs::path& name, const std::string& content) const {
        std::ofstream(dir_ / name, std::ios::binary) << content;
    }

    std::optional<std::string> property(const std::string& name) const {
        std::ifstream file(dir_ / "properties" / name, std::ios::binary);
        if (!file) {
            return std::nullopt;
        }
        std::string value((std::istreambuf_iterator<char>(file)), {});
        EXPECT_FALSE(value.empty() || value.back() != '\n') << name << " is not one value line";
        return value.substr(0, value.size() - 1);
    }

    std::set<std::string> property_names() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_ / "properties")) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

  private:
    TemporaryFolder folder_;
    const fs::path& dir_;
};

// The program running against a device, its log read line by line from its standard error;
// bound by permission bits as a plain user is, if asked.
class Running {
  public:
    explicit Running(const Device& device)
        : Running(environment_with(DEVICE_DIR, device.dir().string())) {}

    explicit Running(std::vector<std::string> environment, bool as_plain_user = false) {
        std::vector<std::string> args;
        std::stringstream emulator(VOSSEL_EMULATOR);
        for (std::string word; std::getline(emulator, word, ' ');) {
            if (!word.empty()) {
                args.push_back(word);
            }
        }
        args.push_back(VOSSEL_PROGRAM);
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        pid_ =
            spawn(args, std::move(environment), {{ends[1], STDERR_FILENO}}, nullptr, as_plain_user);
        close(ends[1]);
        log_ = fdopen(ends[0], "r");
    }

    ~Running() {
        if (log_ != nullptr) {
            finish();
        }
    }

    // The next line of the log, without its newline; nullopt once the program has closed it.
    std::optional<std::string> next_line() {
        char* line = nullptr;
        size_t capacity = 0;
        ssize_t length = getline(&line, &capacity, log_);
        std::optional<std::string> result;
        if (length >= 0) {
            result = std::string(line, length > 0 && line[length - 1] == '\n' ? length - 1 : length);
        }
        free(line);
        return result;
    }

    // Reads the rest of the log and returns the exit status.
    int finish() {
        while (auto line = next_line()) {
            log.push_back(*line);
        }
        fclose(log_);
        log_ = nullptr;
        return wait_for(pid_);
    }

    std::vector<std::string> log;

  private:
    pid_t pid_ = -1;
    FILE* log_ = nullptr;
};
