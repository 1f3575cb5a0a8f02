// Deriving the serial number and publishing the identity.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "provisioning/vossel.h"
#include "tests/fake_platform.h"

using ::testing::ElementsAre;

namespace {

// A record of zero bytes with the given bytes placed at their offsets.
struct Record {
    unsigned char bytes[BARCODE_RECORD_SIZE] = {};

    Record& put(size_t offset, const std::string& text) {
        text.copy(reinterpret_cast<char*>(bytes + offset), text.size());
        return *this;
    }
};

std::string serial_of(const Record& record) {
    char serial[SERIAL_BUFFER_SIZE];
    memset(serial, 0x7f, sizeof(serial));
    size_t kept = derive_serial_number(record.bytes, serial);
    EXPECT_EQ(kept, strlen(serial));
    return serial;
}

TEST(DeriveSerialNumber, KeepsOnlyAsciiLettersAndDigitsInOrder) {
    EXPECT_EQ(serial_of(Record().put(104, "SN-0042 A/B")), "SN0042AB");
    EXPECT_EQ(serial_of(Record().put(104, "ab12")), "ab12");
    EXPECT_EQ(serial_of(Record().put(104, "A")), "A");
    EXPECT_EQ(serial_of(Record().put(104, "-")), "");
    EXPECT_EQ(serial_of(Record().put(104,
                                     "\t1\r2\x01"
                                     "3~@[`{")),
              "123");
    EXPECT_EQ(serial_of(Record().put(104,
                                     "S\x80N\xe9\xff"
                                     "1\xc3\xa9")),
              "SN1");
}

// Every byte value in the field, 0x01 to 0xFF: only the 62 ASCII letters and digits count, so
// a byte from 0x80 up is neither kept nor read as a negative char.
TEST(DeriveSerialNumber, ClassifiesEveryByteValueAsUnsigned) {
    Record record;
    for (int value = 1; value <= 0xff; ++value) {
        record.bytes[104 + value - 1] = static_cast<unsigned char>(value);
    }
    EXPECT_EQ(serial_of(record), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
}

TEST(DeriveSerialNumber, TheFirstByteIsExaminedAndTheNextZeroEndsTheField) {
    EXPECT_EQ(serial_of(Record()), "");
    EXPECT_EQ(serial_of(Record().put(105, "X1")), "X1");
    EXPECT_EQ(serial_of(Record().put(104, "AB").put(107, "CD")), "AB");
    EXPECT_EQ(serial_of(Record().put(103, "Z")), "") << "byte 103 lies before the field";
}

TEST(DeriveSerialNumber, AnUnterminatedFieldRunsOnIntoTheIsnField) {
    Record record;
    record.put(104, std::string(147, '.')).put(251, "ISN-77");
    EXPECT_EQ(serial_of(record), "ISN77");
}

TEST(DeriveSerialNumber, KeepsTheFirst63Characters) {
    std::string characters;
    for (int i = 0; i < 100; ++i) {
        characters += "abcdefghij"[i % 10];
    }
    EXPECT_EQ(serial_of(Record().put(104, characters.substr(0, 63))), characters.substr(0, 63));
    EXPECT_EQ(serial_of(Record().put(104, characters.substr(0, 64))), characters.substr(0, 63));
    EXPECT_EQ(serial_of(Record().put(104, characters)), characters.substr(0, 63));
}

TEST(DeriveSerialNumber, StopsAtTheRecordsLastByte) {
    Record record;
    record.put(104, std::string(BARCODE_RECORD_SIZE - 104 - 4, '-')).put(1020, "WXYZ");
    EXPECT_EQ(serial_of(record), "WXYZ");
}

class PublishIdentity : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_fake();
        memset(barcode_record, 0, sizeof(barcode_record));
    }

    void place(size_t offset, const std::string& text) {
        text.copy(reinterpret_cast<char*>(barcode_record + offset), text.size());
    }
};

TEST_F(PublishIdentity, WritesTheSerialAndThenTheIsnAsStored) {
    place(104, "SN-0042 A/B");
    const std::string isn = "ISN 0042/\x01\x80\xff\xc3\xa9 end ";
    place(251, isn);
    place(251 + isn.size() + 1, "after the zero");
    publish_identity();
    EXPECT_THAT(fake.calls,
                ElementsAre(set_call("ro.serialno", "SN0042AB"), set_call("ro.isn", isn)));
}

TEST_F(PublishIdentity, WritesEmptyTextsToo) {
    publish_identity();
    EXPECT_THAT(fake.calls, ElementsAre(set_call("ro.serialno", ""), set_call("ro.isn", "")));
}

// Erased flash reads as 0xff throughout: the serial scan runs to the record's last byte and the ISN
// is the longest there can be, both through the program's own buffers.
TEST_F(PublishIdentity, AnErasedRecordGivesAnEmptySerialAndTheWholeTail) {
    memset(barcode_record, 0xff, sizeof(barcode_record));
    publish_identity();
    EXPECT_THAT(fake.calls, ElementsAre(set_call("ro.serialno", ""),
                                        set_call("ro.isn", std::string(1024 - 251, '\xff'))));
}

TEST_F(PublishIdentity, AnIsnWithoutAZeroEndsWithTheRecord) {
    const std::string isn(BARCODE_RECORD_SIZE - 251, 'i');
    place(251, isn);
    publish_identity();
    EXPECT_THAT(fake.calls, ElementsAre(set_call("ro.serialno", ""), set_call("ro.isn", isn)));
}

}  // namespace
