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

class Program : public ::testing::Test {
  protected:
    Device device;
};

TEST_F(Program, PublishesTheRecordsIdentity) {
    const std::string isn = "ISN 2026/000042 \xc3\xa9";
    device.write("nvram/35", record_with("SN-0042 A/B", isn));
    Running run(device);
    EXPECT_EQ(run.finish(), 0);
    EXPECT_THAT(run.log, ElementsAre(READY));
    EXPECT_EQ(device.property("ro.serialno"), "SN0042AB");
    EXPECT_EQ(device.property("ro.isn"), isn);
}

// Bytes from 0x80 up survive the trip through the C libraries both ways: dropped from the serial,
// published unchanged in the ISN.
TEST_F(Program, PublishesBytesFrom0x80UpAsStored) {
    std::string isn;
    for (int value = 0xff; isn.size() < 91; --value) {
        isn += static_cast<char>(value);
    }
    device.write("nvram/35", record_with("\x80S\xffN\xe9-\xc3\xa9"
                                         "7",
                                         isn));
    Running run(device);
    EXPECT_EQ(run.finish(), 0);
    EXPECT_THAT(run.log, ElementsAre(READY));
    EXPECT_EQ(device.property("ro.serialno"), "SN7");
    EXPECT_EQ(device.property("ro.isn"), isn);
}

TEST_F(Program, EachLoadFailureEndsWith255AndPublishesNothing) {
    const std::string record = record_with("SN1", "ISN1");
    // A directory stands for an NVRAM file that opens but cannot be read.
    enum Data { none, directory, bytes };
    const struct {
        const char* what;
        std::optional<std::string> layout;
        Data kind;
        std::string data;
        const char* message;
    } failures[] = {
        {"no NVRAM file", std::nullopt, none, "", BAD_COUNT},
        {"two records", "1024 2\n", bytes, record + record, BAD_COUNT},
        {"a short record", std::nullopt, bytes, record.substr(0, 512),
         "[system] E/vossel: error:unexpected record size"},
        {"a file shorter than its layout", "1024 1\n", bytes, record.substr(0, 1023),
         "[system] E/vossel: error:read barcode fail!/n"},
        {"a file that cannot be read", "1024 1\n", directory, "",
         "[system] E/vossel: error:read barcode fail!/n"},
    };
    for (const auto& failure : failures) {
        Device device;
        if (failure.layout) {
            device.write("nvram/35.layout", *failure.layout);
        }
        if (failure.kind == directory) {
            fs::create_directory(device.dir() / "nvram/35");
        } else if (failure.kind == bytes) {
            device.write("nvram/35", failure.data);
        }
        Running run(device);
        EXPECT_EQ(run.finish(), 255) << failure.what;
        EXPECT_THAT(run.log, ElementsAre(READY, failure.message)) << failure.what;
        EXPECT_THAT(device.property_names(), ElementsAre("nvram_init")) << failure.what;
    }
}

TEST_F(Program, RefusedWritesStillEndWithSuccess) {
    // "ro.serialno" is set already, as init sets it at boot, and the ISN is longer than a
    // property value may be.
    device.write("properties/ro.serialno", "FROMBOOT\n");
    device.write("nvram/35", record_with("SN-0042", std::string(92, 'i')));
    Running run(device);
    EXPECT_EQ(run.finish(), 0);
    EXPECT_THAT(run.log, ElementsAre(READY));
    EXPECT_EQ(device.property("ro.serialno"), "FROMBOOT");
    EXPECT_EQ(device.property("ro.isn"), std::nullopt);

    Device other;
    other.write("nvram/35", record_with("SN-0042", std::string(91, 'i')));
    Running longest(other);
    EXPECT_EQ(longest.finish(), 0);
    EXPECT_EQ(other.property("ro.isn"), std::string(91, 'i'));
}

// Each check of "nvram_init" opens a FIFO in its place and reads the test's next answer; before
// answering, the test puts the next check's FIFO in place, or after the last answer a file that
// holds it. So the program misses exactly twice, however slowly either side runs.
TEST_F(Program, WaitsUntilTheRestoreIsReported) {
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

// The layout's third word fails the close: the program says so and publishes all the same. A
// layout that is not "<size> <count> [close-fails]" is named, and plays a file that cannot be
// opened.
TEST_F(Program, TheLayoutCanFailTheCloseAndAMalformedOneIsNamed) {
    const std::string closed = "[system] E/vossel: clsoe file fail ", named = "(named)";
    const struct {
        const char* layout;
        int status;
        std::vector<std::string> log;
    } layouts[] = {
        {"1024 1\n", 0, {READY}},
        {" 1024\t1  close-fails \n", 0, {READY, closed}},
        {"", 255, {READY, named, BAD_COUNT}},
        {"1024", 255, {READY, named, BAD_COUNT}},
        {"1024 1 close-fail", 255, {READY, named, BAD_COUNT}},
        {"1024 1 close-fails 2", 255, {READY, named, BAD_COUNT}},
    };
    for (auto layout : layouts) {
        Device device;
        device.write("nvram/35", record_with("SN-1", "ISN-1"));
        device.write("nvram/35.layout", layout.layout);
        std::replace(
            layout.log.begin(), layout.log.end(), named,
            "stand-in: " + device.dir().string() +
                "/nvram/35.layout: expected \"<record size> <record count> [close-fails]\"");
        Running run(device);
        EXPECT_EQ(run.finish(), layout.status) << layout.layout;
        EXPECT_EQ(run.log, layout.log) << layout.layout;
        EXPECT_EQ(device.property("ro.isn").has_value(), layout.status == 0) << layout.layout;
    }
}

// Without a device folder the run ends at the program's first call into the stand-ins, before a
// check could miss: their message is all there is.
TEST_F(Program, AMissingDeviceFolderEndsTheRunAtOnce) {
    const std::string file = (device.dir() / "properties/nvram_init").string();
    const std::string missing = (device.dir() / "missing").string();
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {std::nullopt, "VOSSEL_DEVICE_DIR is not set: it must name the simulated device's folder"},
        {"", "VOSSEL_DEVICE_DIR is empty: it must name the simulated device's folder"},
        {missing, "VOSSEL_DEVICE_DIR=" + missing + ": No such file or directory"},
        {file, "VOSSEL_DEVICE_DIR=" + file + ": Not a directory"},
        {file + "/dir", "VOSSEL_DEVICE_DIR=" + file + "/dir: Not a directory"},
    };
    for (const auto& [dir, message] : cases) {
        std::vector<std::string> environment = environment_with(DEVICE_DIR, dir.value_or(""));
        if (!dir) {
            environment.erase(environment.begin());  // environment_with puts the variable first
        }
        Running run(environment);
        EXPECT_EQ(run.finish(), 2) << message;
        EXPECT_THAT(run.log, ElementsAre("stand-in: " + message));
    }
}

}  // namespace
