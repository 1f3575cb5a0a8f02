// The stand-in platform libraries' own rules, called directly, for what a run of the program
// cannot show.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/simulated_device.h"

namespace {

// The target release's rules, in order on one device: what each write returns, and what the
// property then holds. The caller's library refuses long keys and values (-1); the property
// service drops a second write to a "ro." property, and nobody is told (0).
TEST(StandIn, PropertyWritesAsTheTargetReleasePlaysThem) {
    Device device;
    device.write("properties/ro.empty", "\n");
    setenv(DEVICE_DIR, device.dir().c_str(), 1);
    const std::string key = "ro." + std::string(PROPERTY_KEY_MAX - 4, 'k');
    const std::string longest(PROPERTY_VALUE_MAX - 1, 'v'), too_long(PROPERTY_VALUE_MAX, 'v');
    const struct {
        std::string key, value;
        int result;
        std::optional<std::string> stored;
    } writes[] = {
        {"ro.serialno", "FIRST", 0, "FIRST"}, {"ro.serialno", "SECOND", 0, "FIRST"},
        {"ro.empty", "SET", 0, ""},           {"persist.x", "FIRST", 0, "FIRST"},
        {"persist.x", "SECOND", 0, "SECOND"}, {"ro.isn", too_long, -1, std::nullopt},
        {"ro.isn", longest, 0, longest},      {key, "v", 0, "v"},
        {key + "k", "v", -1, std::nullopt},
    };
    for (const auto& write : writes) {
        EXPECT_EQ(property_set(write.key.c_str(), write.value.c_str()), write.result) << write.key;
        EXPECT_EQ(device.property(write.key), write.stored) << write.key;
    }
    unsetenv(DEVICE_DIR);
}

// Each buffer shows its name, any other id its number.
TEST(StandIn, EachLogLineShowsItsBuffer) {
    ::testing::internal::CaptureStderr();
    for (int buffer : {3, 0, 1, 2, 4, 5, -1}) {
        __android_log_buf_print(buffer, ANDROID_LOG_ERROR, "vossel", "message\n");
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "[system] E/vossel: message\n[main] E/vossel: message\n[radio] E/vossel: message\n"
              "[events] E/vossel: message\n[crash] E/vossel: message\n[5] E/vossel: message\n"
              "[-1] E/vossel: message\n");
}

}  // namespace
