// A folder of the test's own under the system's temporary folder, removed with all it holds
// when the object goes: the working folder of the tool's tests and of each simulated device.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

class TemporaryFolder {
  public:
    // The folder's name is `prefix`, a dash and six random characters.
    explicit TemporaryFolder(const std::string& prefix) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary folder " + pattern);
        }
        path_ = pattern;
    }
    // A destructor must not throw: what cannot be removed stays.
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};
