// Runs the whole program through the link-time fakes with an NVRAM file of the fuzzer's choice:
// whether it opens, the record size and count it reports, whether its descriptor reads, the
// bytes it delivers and whether its close succeeds. After every run, checks what must hold for
// any file; the sanitizers watch every access.
//
// Input: one byte of flags; the reported size and count as little-endian 32-bit integers (used
// only when the flags say so, else 1024 and 1); then the bytes the descriptor delivers.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "provisioning/vossel.h"
#include "tests/fake_platform.h"

namespace {

enum flag : uint8_t {
    FILE_UNOPENED = 1 << 0,
    SIZE_GIVEN = 1 << 1,
    COUNT_GIVEN = 1 << 2,
    UNREADABLE = 1 << 3,
    CLOSE_FAILS = 1 << 4,
};
const size_t HEADER_SIZE = 9;

const char READY_LOG[] = "log system/error vossel: nvram restore ready!\n";
const char CLOSE_FAILED_LOG[] = "log system/error vossel: clsoe file fail \n";
const char* const LOAD_FAILURE_LOGS[] = {
    "log system/error vossel: error:unexpected record num",
    "log system/error vossel: error:unexpected record size",
    "log system/error vossel: error:read barcode fail!/n",
};
const char SERIAL_SET[] = "property_set ro.serialno=";
const char ISN_SET[] = "property_set ro.isn=";

void require(bool holds, const char* what) {
    if (!holds) {
        (void)fprintf(stderr, "does not hold: %s\n", what);
        abort();
    }
}

int32_t little_endian(const uint8_t* bytes) {
    return static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                static_cast<uint32_t>(bytes[3]) << 24);
}

bool ascii_alphanumeric(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// What a device publishes from a 1024-byte record, derived here apart from the code under test
// and from its constants. The serial: from byte 104, each byte is examined (the first whatever
// it holds) and kept if it is an ASCII letter or digit, up to 63 of them; the scan stops where
// the next byte is zero or the record ends. The ISN: the bytes from 251 to the first zero or the
// record's end.
std::string reference_serial(const std::string& record) {
    std::string serial;
    for (size_t at = 104;; ++at) {
        if (ascii_alphanumeric(record[at]) && serial.size() < 63) {
            serial += record[at];
        }
        if (at + 1 == 1024 || record[at + 1] == '\0') {
            return serial;
        }
    }
}

std::string reference_isn(const std::string& record) {
    return std::string(record.c_str() + 251);
}

void check_published(const std::string& record, const std::vector<std::string>& sets) {
    require(sets.size() == 2, "two property writes");
    require(sets[0] == std::string(SERIAL_SET) + reference_serial(record),
            "\"ro.serialno\" is written first, with the record's serial");
    require(sets[1] == std::string(ISN_SET) + reference_isn(record),
            "\"ro.isn\" is written second, with the record's ISN text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < HEADER_SIZE) {
        return -1;
    }
    reset_fake();
    const uint8_t flags = data[0];
    fake.reports_layout = (flags & FILE_UNOPENED) == 0;
    fake.record_size = (flags & SIZE_GIVEN) != 0 ? little_endian(data + 1) : BARCODE_RECORD_SIZE;
    fake.record_count = (flags & COUNT_GIVEN) != 0 ? little_endian(data + 5) : BARCODE_RECORD_COUNT;
    const std::string delivered(data + HEADER_SIZE, data + size);
    if ((flags & UNREADABLE) != 0) {
        fake.data.reset();
    } else {
        fake.data = delivered;
    }
    fake.close_result = (flags & CLOSE_FAILS) != 0 ? 0 : 1;

    const int status = vossel_main();

    std::vector<std::string> sets;
    std::vector<std::string> logs;
    for (const std::string& call : fake.calls) {
        if (call.rfind("property_set ", 0) == 0) {
            sets.push_back(call);
        } else if (call.rfind("log ", 0) == 0 && call != READY_LOG) {
            logs.push_back(call);
        }
    }

    const bool loads = fake.reports_layout && fake.record_count == BARCODE_RECORD_COUNT &&
                       fake.record_size == BARCODE_RECORD_SIZE && fake.data &&
                       delivered.size() >= static_cast<size_t>(BARCODE_RECORD_SIZE);
    if (!loads) {
        require(status == -1, "a failed load ends the run with -1");
        require(sets.empty(), "nothing is written after a failed load");
        require(logs.size() == 1 && std::count(std::begin(LOAD_FAILURE_LOGS),
                                               std::end(LOAD_FAILURE_LOGS), logs[0]) == 1,
                "a failed load logs exactly one failure message");
        return 0;
    }
    require(status == 0, "a loaded record ends the run with 0");
    require(logs == ((flags & CLOSE_FAILS) != 0 ? std::vector<std::string>{CLOSE_FAILED_LOG}
                                                : std::vector<std::string>{}),
            "only a failed close is logged");
    check_published(delivered.substr(0, BARCODE_RECORD_SIZE), sets);
    return 0;
}
