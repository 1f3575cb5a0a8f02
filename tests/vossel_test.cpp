// The main sequence and the readiness gate.
#include "provisioning/vossel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/fake_platform.h"

using ::testing::ElementsAreArray;
using namespace std::string_literals;

namespace {

const std::string READY = "nvram restore ready!\n";
const std::string NOT_READY = "nvram restore not ready!\n";

// The calls of a gate whose check number `ready_at` sees "Ready" (0: none does).
std::vector<std::string> gate_calls(int ready_at) {
    std::vector<std::string> calls;
    for (int check = 1; check <= 20; ++check) {
        calls.push_back(CHECK_READY);
        if (check == ready_at) {
            calls.push_back(log_call(READY));
            break;
        }
        calls.push_back(SLEEP);
        calls.push_back(log_call(NOT_READY));
    }
    return calls;
}

class ReadinessGate : public ::testing::Test {
  protected:
    void SetUp() override { reset_fake(); }
};

TEST_F(ReadinessGate, ReadyAtTheFirstCheckCostsNoSleep) {
    wait_nvram_ready();
    EXPECT_THAT(fake.calls, ElementsAreArray(gate_calls(1)));
}

TEST_F(ReadinessGate, EachMissSleepsThenSaysNotReady) {
    for (int ready_at = 2; ready_at <= 20; ++ready_at) {
        reset_fake();
        fake.nvram_init.assign(ready_at - 1, std::optional<std::string>("Starting"));
        fake.nvram_init.push_back("Ready");
        wait_nvram_ready();
        EXPECT_THAT(fake.calls, ElementsAreArray(gate_calls(ready_at))) << "ready at " << ready_at;
    }
}

TEST_F(ReadinessGate, GivesUpAfterTwentyMissesWithoutAFurtherCheck) {
    fake.nvram_init = {std::nullopt};
    wait_nvram_ready();
    EXPECT_THAT(fake.calls, ElementsAreArray(gate_calls(0)));
}

TEST_F(ReadinessGate, OnlyTheWholeExactValueCounts) {
    // The last is the longest value the platform hands out: 91 bytes and its zero.
    for (const std::string& value :
         {""s, "ready"s, "READY"s, "Ready "s, " Ready"s, "Ready\n"s, "Ready!"s, "Readyy"s, "Read"s,
          "Ready"s + std::string(86, '!')}) {
        reset_fake();
        fake.nvram_init = {value};
        wait_nvram_ready();
        EXPECT_THAT(fake.calls, ElementsAreArray(gate_calls(0))) << '"' << value << '"';
    }
}

class MainSequence : public ::testing::Test {
  protected:
    void SetUp() override { reset_fake(); }
};

TEST_F(MainSequence, PublishesAfterTheGateAndTheLoad) {
    fake.nvram_init = {"", "Ready"};
    std::string record(1024, '\0');
    record.replace(104, 11, "SN-0042 A/B");
    record.replace(251, 9, "ISN 0042/");
    fake.data = record;

    EXPECT_EQ(vossel_main(), 0);
    std::vector<std::string> expected = gate_calls(2);
    expected.insert(expected.end(),
                    {OPEN_BARCODE, CLOSE_BARCODE, set_call("ro.serialno", "SN0042AB"),
                     set_call("ro.isn", "ISN 0042/")});
    EXPECT_THAT(fake.calls, ElementsAreArray(expected));
}

TEST_F(MainSequence, AGateThatGaveUpStillLoadsAndPublishes) {
    fake.nvram_init = {std::nullopt};
    EXPECT_EQ(vossel_main(), 0);
    std::vector<std::string> expected = gate_calls(0);
    expected.insert(expected.end(), {OPEN_BARCODE, CLOSE_BARCODE, set_call("ro.serialno", ""),
                                     set_call("ro.isn", "")});
    EXPECT_THAT(fake.calls, ElementsAreArray(expected));
}

TEST_F(MainSequence, EachLoadFailureEndsWithItsOneMessageAndNothingPublished) {
    struct Failure {
        int size;
        int count;
        std::optional<std::string> data;
        const char* message;
    };
    const Failure failures[] = {
        {1024, 0, std::string(1024, 'x'), "error:unexpected record num"},
        {512, 1, std::string(1024, 'x'), "error:unexpected record size"},
        {1024, 1, std::string(1023, 'x'), "error:read barcode fail!/n"},
        {1024, 1, std::nullopt, "error:read barcode fail!/n"},
    };
    for (const Failure& failure : failures) {
        reset_fake();
        fake.record_size = failure.size;
        fake.record_count = failure.count;
        fake.data = failure.data;
        EXPECT_EQ(vossel_main(), -1) << failure.message;
        std::vector<std::string> expected = gate_calls(1);
        expected.insert(expected.end(), {OPEN_BARCODE, log_call(failure.message)});
        EXPECT_THAT(fake.calls, ElementsAreArray(expected));
    }
}

}  // namespace
