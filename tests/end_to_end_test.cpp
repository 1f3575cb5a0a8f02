// The program as built, run against the stand-in platform libraries with a device directory of
// the test's own.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/record_bytes.h"
#include "tests/simulated_device.h"

using ::testing::ElementsAre;

namespace {

const char READY[] = "[system] E/vossel: nvram restore ready!";
const char NOT_READY[] = "[system] E/vossel: nvram restore not ready!";
const char BAD_COUNT[] = "[system] E/vossel: error:unexpected record num";

// What the record holds is published, and the run ends with success even where the property
// service refuses a write. Bytes from 0x80 up survive the trip through the C libraries both
// ways: dropped from the serial, published unchanged in the ISN.
TEST(Program, PublishesTheRecordsIdentity) {
    std::string high;
    for (int value = 0xff; high.size() < 91; --value) {
        high += static_cast<char>(value);
    }
    const struct {
        const char* set_at_boot;  // "ro.serialno", as init sets it; none: unset
        std::string serial, isn;
        std::optional<std::string> serialno, published_isn;
    } cases[] = {
        {nullptr, "SN-0042 A/B", "ISN 2026/000042 \xc3\xa9", "SN0042AB", "ISN 2026/000042 \xc3\xa9"},
        {nullptr,
         "\x80S\xffN\xe9-\xc3\xa9"
         "7",
         high, "SN7", high},
        // The ISN longer than a property value may be, and the longest.
        {"FROMBOOT\n", "SN-0042", std::string(92, 'i'), "FROMBOOT", std::nullopt},
        {nullptr, "SN-0042", std::string(91, 'i'), "SN0042", std::string(91, 'i')},
    };
    for (const auto& c : cases) {
        Device device;
        if (c.set_at_boot != nullptr) {
            device.write("properties/ro.serialno", c.set_at_boot);
        }
        device.write("nvram/35", record_with(c.serial, c.isn));
        Running run(device);
        EXPECT_EQ(run.finish(), 0) << c.serial;
        EXPECT_THAT(run.log, ElementsAre(READY)) << c.serial;
        EXPECT_EQ(device.property("ro.serialno"), c.serialno) << c.serial;
        EXPECT_EQ(device.property("ro.isn"), c.published_isn) << c.serial;
    }
}

// Each fault of the NVRAM file as the log tells it. A load failure ends the run with 255 and its
// one message, and publishes nothing; a directory stands for a file that opens but cannot be
// read. The layout's third word fails the close: the program says so and publishes all the same.
// A layout that is not "<size> <count> [close-fails]" is named, and plays a file that cannot be
// opened.
TEST(Program, EachFaultOfTheNvramFileIsLogged) {
    const std::string record = record_with("SN1", "ISN1"), other = record_with("SN-1", "ISN-1");
    const std::string closed = "[system] E/vossel: clsoe file fail ", named = "(named)";
    enum Data { none, directory, bytes };
    const struct {
        const char* what;
        std::optional<std::string> layout;
        Data kind;
        std::string data;
        int status;
        std::vector<std::string> log;
    } faults[] = {
        {"no NVRAM file", std::nullopt, none, "", 255, {READY, BAD_COUNT}},
        {"two records", "1024 2\n", bytes, record + record, 255, {READY, BAD_COUNT}},
        {"a short record",
         std::nullopt,
         bytes,
         record.substr(0, 512),
         255,
         {READY, "[system] E/vossel: error:unexpected record size"}},
        {"a file shorter than its layout",
         "1024 1\n",
         bytes,
         record.substr(0, 1023),
         255,
         {READY, "[system] E/vossel: error:read barcode fail!/n"}},
        {"a file that cannot be read",
         "1024 1\n",
         directory,
         "",
         255,
         {READY, "[system] E/vossel: error:read barcode fail!/n"}},
        {"no fault", "1024 1\n", bytes, other, 0, {READY}},
        {"a close that fails", " 1024\t1  close-fails \n", bytes, other, 0, {READY, closed}},
        {"an empty layout", "", bytes, other, 255, {READY, named, BAD_COUNT}},
        {"no count", "1024", bytes, other, 255, {READY, named, BAD_COUNT}},
        {"a third word misspelt", "1024 1 close-fail", bytes, other, 255, {READY, named, BAD_COUNT}},
        {"a fourth word", "1024 1 close-fails 2", bytes, other, 255, {READY, named, BAD_COUNT}},
    };
    const std::set<std::string> published = {"nvram_init", "ro.isn", "ro.serialno"},
                                nothing = {"nvram_init"};
    for (auto fault : faults) {
        Device device;
        if (fault.layout) {
            device.write("nvram/35.layout", *fault.layout);
        }
        if (fault.kind == directory) {
            fs::create_directory(device.dir() / "nvram/35");
        } else if (fault.kind == bytes) {
            device.write("nvram/35", fault.data);
        }
        std::replace(
            fault.log.begin(), fault.log.end(), named,
            "stand-in: " + device.dir().string() +
                "/nvram/35.layout: expected \"<record size> <record count> [close-fails]\"");
        Running run(device);
        EXPECT_EQ(run.finish(), fault.status) << fault.what;
        EXPECT_EQ(run.log, fault.log) << fault.what;
        EXPECT_EQ(device.property_names(), fault.status == 0 ? published : nothing) << fault.what;
    }
}

// Each check of "nvram_init" opens a FIFO in its place and reads the test's next answer; before
// answering, the test puts the next check's FIFO in place, or after the last answer a file that
// holds it. So the program misses exactly twice, however slowly either side runs.
TEST(Program, WaitsUntilTheRestoreIsReported) {
    Device device;
    device.write("nvram/35", record_with("SN-0042 A/B", "ISN-0042"));
    const fs::path property = device.dir() / "properties/nvram_init";
    const fs::path next = device.dir() / "next";
    fs::remove(property);
    ASSERT_EQ(mkfifo(property.c_str(), 0600), 0);
    const std::vector<std::string> answers = {"", "Restoring\n", "Ready\n"};
    std::atomic<bool> ended(false);
    std::thread answering([&] {
        for (const std::string& answer : answers) {
            int check = open(property.c_str(), O_WRONLY | O_CLOEXEC);
            if (ended) {  // the test let this open past: the program made no further check
                close(check);
                return;
            }
            if (&answer != &answers.back()) {
                mkfifo(next.c_str(), 0600);
            } else {
                std::ofstream(next) << answer;
            }
            fs::rename(next, property);
            EXPECT_EQ(write(check, answer.data(), answer.size()), ssize_t(answer.size()));
            close(check);
        }
    });
    Running run(device);
    EXPECT_EQ(run.finish(), 0);
    ended = true;
    int reader = open(property.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    answering.join();
    close(reader);
    EXPECT_THAT(run.log, ElementsAre(NOT_READY, NOT_READY, READY));
    EXPECT_EQ(device.property("ro.serialno"), "SN0042AB");
}

}  // namespace
