// Loading the barcode record.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "provisioning/vossel.h"
#include "tests/fake_platform.h"

using ::testing::ElementsAre;

namespace {

class RecordLoad : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_fake();
        memset(barcode_record, 0xa5, sizeof(barcode_record));
    }

    std::string loaded() const {
        return std::string(reinterpret_cast<const char*>(barcode_record), sizeof(barcode_record));
    }
};

TEST_F(RecordLoad, ReadsTheWholeRecordAndClosesTheFile) {
    std::string record;
    for (int i = 0; i < 1024; ++i) {
        record += static_cast<char>(i * 7 + 1);
    }
    fake.data = record;
    EXPECT_EQ(load_barcode_record(), load_ok);
    EXPECT_EQ(loaded(), record);
    EXPECT_THAT(fake.calls, ElementsAre(OPEN_BARCODE, CLOSE_BARCODE));
}

TEST_F(RecordLoad, AFailedCloseIsReportedAndTheRecordStands) {
    fake.data = std::string(1024, 'r');
    fake.close_result = 0;
    EXPECT_EQ(load_barcode_record(), load_ok);
    EXPECT_EQ(loaded(), std::string(1024, 'r'));
    EXPECT_THAT(fake.calls,
                ElementsAre(OPEN_BARCODE, CLOSE_BARCODE, log_call("clsoe file fail \n")));
}

TEST_F(RecordLoad, TheCountIsCheckedBeforeTheSizeAndNothingIsRead) {
    const struct {
        int size;
        int count;
        load_status expected;
    } layouts[] = {
        {1024, 2, load_bad_record_count}, {2048, 2, load_bad_record_count},
        {1024, 0, load_bad_record_count}, {1024, -1, load_bad_record_count},
        {512, 1, load_bad_record_size},   {2048, 1, load_bad_record_size},
        {1023, 1, load_bad_record_size},  {0, 1, load_bad_record_size},
    };
    for (const auto& layout : layouts) {
        reset_fake();
        fake.record_size = layout.size;
        fake.record_count = layout.count;
        fake.data = std::string(1024, 'r');
        EXPECT_EQ(load_barcode_record(), layout.expected)
            << layout.count << " records of " << layout.size;
        EXPECT_EQ(loaded(), std::string(1024, '\xa5')) << "the record buffer was touched";
        EXPECT_THAT(fake.calls, ElementsAre(OPEN_BARCODE)) << "no close after a failed load";
    }
}

TEST_F(RecordLoad, AFileThatCannotBeOpenedFailsOnTheCount) {
    fake.reports_layout = false;
    fake.data = std::nullopt;
    EXPECT_EQ(load_barcode_record(), load_bad_record_count);
    EXPECT_THAT(fake.calls, ElementsAre(OPEN_BARCODE));
}

TEST_F(RecordLoad, AnythingShortOfTheWholeRecordIsAReadFailure) {
    for (size_t delivered : {1023, 512, 1, 0}) {
        reset_fake();
        fake.data = std::string(delivered, 'r');
        EXPECT_EQ(load_barcode_record(), load_read_failed) << delivered << " bytes";
        EXPECT_THAT(fake.calls, ElementsAre(OPEN_BARCODE)) << "no close after a failed load";
    }
    reset_fake();
    fake.data = std::nullopt;  // read returns -1
    EXPECT_EQ(load_barcode_record(), load_read_failed);
    EXPECT_THAT(fake.calls, ElementsAre(OPEN_BARCODE));
}

TEST_F(RecordLoad, ReadsOneRecordEvenWhenTheDescriptorHoldsMore) {
    fake.data = std::string(1024, 'r') + std::string(1024, 's');
    EXPECT_EQ(load_barcode_record(), load_ok);
    EXPECT_EQ(loaded(), std::string(1024, 'r'));
}

}  // namespace
