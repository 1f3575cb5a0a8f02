#include "tests/fake_platform.h"

#include <fcntl.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

FakePlatform fake;

// What the platform itself fixes, spelled out here once rather than taken from the header that
// the program is built with, so that a wrong value there shows as a wrong call.
static const int SYSTEM_LOG_BUFFER = 3;
static const int ERROR_PRIORITY = 6;
// A property read may fill this many bytes of the caller's buffer, its terminating zero included.
static const size_t PLATFORM_PROPERTY_VALUE_MAX = 92;
static_assert(sizeof(nvm_file_handle) == 12 && offsetof(nvm_file_handle, fd) == 0,
              "the NVRAM handle is three 32-bit words, the descriptor first");

const char* const CHECK_READY = "property_get nvram_init (no default)";
const char* const SLEEP = "usleep 500000";
const char* const OPEN_BARCODE = "NVM_GetFileDesc 35 size=0 count=0 read=1";
const char* const CLOSE_BARCODE = "NVM_CloseFileDesc (handle as given)";

// Library words of the handles that the fake hands out; a close must bring them back unchanged.
static const int32_t HANDLE_WORD_1 = 0x13579bdf;
static const int32_t HANDLE_WORD_2 = 0x2468ace0;

static int checks;
// Descriptors handed out and not closed: a failed load leaves its file open, as on the device.
static std::vector<int> open_descriptors;

void reset_fake() {
    fake = FakePlatform();
    fake.nvram_init = {"Ready"};
    fake.data = std::string(1024, '\0');
    checks = 0;
    for (int fd : open_descriptors) {
        close(fd);
    }
    open_descriptors.clear();
}

std::string log_call(const std::string& message) {
    return "log system/error vossel: " + message;
}

std::string set_call(const std::string& key, const std::string& value) {
    return "property_set " + key + "=" + value;
}

extern "C" int __android_log_buf_print(int buf_id, int prio, const char* tag, const char* fmt, ...) {
    if (buf_id == SYSTEM_LOG_BUFFER && prio == ERROR_PRIORITY) {
        fake.calls.push_back(std::string("log system/error ") + tag + ": " + fmt);
    } else {
        fake.calls.push_back("log buffer " + std::to_string(buf_id) + " priority " +
                             std::to_string(prio) + " " + tag + ": " + fmt);
    }
    return 0;
}

extern "C" int property_get(const char* key, char* value, const char* default_value) {
    fake.calls.push_back(
        std::string("property_get ") + key +
        (default_value ? " default=" + std::string(default_value) : " (no default)"));
    size_t check = std::min<size_t>(checks++, fake.nvram_init.size() - 1);
    std::string text = fake.nvram_init[check].value_or("");
    // The whole buffer the platform may fill is written, zeros after the value, so that a
    // buffer smaller than that is overrun here, where the sanitizers see it.
    size_t length = std::min(text.size(), PLATFORM_PROPERTY_VALUE_MAX - 1);
    text.resize(length);
    text.resize(PLATFORM_PROPERTY_VALUE_MAX, '\0');
    text.copy(value, PLATFORM_PROPERTY_VALUE_MAX);
    return static_cast<int>(length);
}

extern "C" int property_set(const char* key, const char* value) {
    fake.calls.push_back(set_call(key, value));
    return 0;
}

extern "C" int usleep(useconds_t microseconds) {
    fake.calls.push_back("usleep " + std::to_string(microseconds));
    return 0;
}

// A pipe that holds the data, its writing end closed, so one read delivers up to all of it.
static int descriptor_delivering(const std::string& data) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0 || fcntl(ends[1], F_SETPIPE_SZ, 1 << 16) < 0 ||
        write(ends[1], data.data(), data.size()) != static_cast<ssize_t>(data.size())) {
        std::perror("fake NVRAM pipe");
        std::abort();
    }
    close(ends[1]);
    open_descriptors.push_back(ends[0]);
    return ends[0];
}

extern "C" nvm_file_handle NVM_GetFileDesc(int file_lid, int* record_size, int* record_count,
                                           int is_read) {
    fake.calls.push_back(
        "NVM_GetFileDesc " + std::to_string(file_lid) + " size=" + std::to_string(*record_size) +
        " count=" + std::to_string(*record_count) + " read=" + std::to_string(is_read));
    if (fake.reports_layout) {
        *record_size = fake.record_size;
        *record_count = fake.record_count;
    }
    int fd = fake.data ? descriptor_delivering(*fake.data) : -1;
    return nvm_file_handle{fd, {HANDLE_WORD_1, HANDLE_WORD_2}};
}

extern "C" int NVM_CloseFileDesc(nvm_file_handle handle) {
    auto held = std::find(open_descriptors.begin(), open_descriptors.end(), handle.fd);
    bool as_given = handle.library_words[0] == HANDLE_WORD_1 &&
                    handle.library_words[1] == HANDLE_WORD_2 && held != open_descriptors.end();
    if (held != open_descriptors.end()) {
        close(handle.fd);
        open_descriptors.erase(held);
    }
    fake.calls.push_back(as_given ? CLOSE_BARCODE : "NVM_CloseFileDesc (another handle)");
    return fake.close_result;
}
