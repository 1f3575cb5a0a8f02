// Link-time fakes of the platform operations for the unit tests. Each call is recorded as one
// line of text, in order; what the fakes answer is set in `fake` before the code under test runs.
// The C library's read, strcmp, isalnum and memset stay real: the fake NVRAM hands out a pipe.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct FakePlatform {
    std::vector<std::string> calls;

    // "nvram_init" as seen by each check in turn; the last one repeats. nullopt: unset.
    std::vector<std::optional<std::string>> nvram_init{std::nullopt};

    // What NVM_GetFileDesc reports: nothing at all when reports_layout is false, as for a file
    // that cannot be opened.
    bool reports_layout = true;
    int record_size = 1024;
    int record_count = 1;
    // The bytes that the descriptor delivers; nullopt: a descriptor that cannot be read.
    std::optional<std::string> data;
    int close_result = 1;
};

extern FakePlatform fake;

// Starts a test with a ready platform and a file holding one all-zero record of 1024 bytes.
void reset_fake();

// Expected call lines, in the fakes' own words.
std::string log_call(const std::string& message);
extern const char* const CHECK_READY;
extern const char* const SLEEP;
extern const char* const OPEN_BARCODE;
extern const char* const CLOSE_BARCODE;
std::string set_call(const std::string& key, const std::string& value);
