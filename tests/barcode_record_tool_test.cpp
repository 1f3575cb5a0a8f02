// barcode-record as built: records made, records inspected, and every exit status.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/record_bytes.h"
#include "tests/spawn.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

class BarcodeRecord : public ::testing::Test {
  protected:
    BarcodeRecord() {
        std::string pattern = (fs::temp_directory_path() / "barcode-record-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
    }
    ~BarcodeRecord() override { fs::remove_all(dir_); }

    fs::path path(const std::string& name) const { return dir_ / name; }

    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }

    std::string read(const std::string& name) const {
        std::ifstream file(path(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), {});
    }

    // Runs the tool in the test's directory with `input` on its standard input.
    Result run(std::vector<std::string> args, const std::string& input = "") const {
        write(".stdin", input);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, path(".stdin").c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, path(".stdout").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, path(".stderr").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
        args.insert(args.begin(), BARCODE_RECORD_PROGRAM);
        pid_t pid = spawn(args, environment_with("LC_ALL", "C"), &actions);
        posix_spawn_file_actions_destroy(&actions);
        return {wait_for(pid), read(".stdout"), read(".stderr")};
    }

    // The warning codes that inspect --json gives for one record.
    std::vector<std::string> warnings_for(const std::string& record) const {
        write("record", record);
        Result result = run({"inspect", "--json", "record"});
        EXPECT_EQ(result.status, result.out.find("\"code\"") == std::string::npos ? 0 : 1);
        std::vector<std::string> codes;
        const std::string key = "\"code\":\"";
        for (size_t at = result.out.find(key); at != std::string::npos;
             at = result.out.find(key, at + 1)) {
            size_t start = at + key.size();
            codes.push_back(result.out.substr(start, result.out.find('"', start) - start));
        }
        return codes;
    }

  private:
    fs::path dir_;
};

TEST_F(BarcodeRecord, MadeRecordsInspectAsTheyWereMade) {
    Result made =
        run({"make", "--serial", "SN0042AB", "--isn", "caf\\xc3\\xa9 \\\\ \"1\"", "-o", "record"});
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out + made.err, "");
    EXPECT_EQ(read("record"), record_with("SN0042AB", "caf\xc3\xa9 \\ \"1\""));

    Result text = run({"inspect", "record"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out,
              "record\n"
              "  ro.serialno \"SN0042AB\"\n"
              "  ro.isn \"caf\\xc3\\xa9 \\\\ \\x221\\x22\"\n");

    // What inspect prints is what make takes.
    Result again = run({"make", "--serial", "SN0042AB", "--isn", "caf\\xc3\\xa9 \\\\ \\x221\\x22"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, read("record"));

    Result json = run({"inspect", "--json", "-"}, again.out);
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out,
              "{\"file\":\"-\",\"status\":0,\"size\":1024,\"ro.serialno\":\"SN0042AB\","
              "\"ro.isn\":\"caf\\\\xc3\\\\xa9 \\\\\\\\ \\\\x221\\\\x22\",\"warnings\":[]}\n");
}

TEST_F(BarcodeRecord, TheExampleDeviceRecordIsMadeByMake) {
    std::ifstream example(EXAMPLE_RECORD, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(example)), {});
    Result made = run({"make", "--serial", "SN-0042 A/B", "--isn", "ISN-2026-000042"});
    EXPECT_EQ(made.status, 0);
    EXPECT_EQ(made.out, bytes);
}

TEST_F(BarcodeRecord, MakeRefusesWhatDoesNotFitAndWritesNothing) {
    const std::string serial_max(146, 'S');
    const std::string isn_max(772, 'I');
    EXPECT_EQ(run({"make", "--serial", serial_max, "--isn", isn_max, "-o", "record"}).status, 0);
    EXPECT_EQ(read("record"), record_with(serial_max, isn_max));

    const struct {
        std::vector<std::string> args;
        const char* complaint;
    } refusals[] = {
        {{"--serial", serial_max + "S", "--isn", "I"}, "serial text is 147 bytes"},
        {{"--serial", "S", "--isn", isn_max + "I"}, "ISN text is 773 bytes"},
        {{"--serial", "SN\\x001", "--isn", "I"}, "zero byte"},
        {{"--serial", "\\x00", "--isn", "I"}, "zero byte"},
        {{"--serial", "S\\q", "--isn", "I"}, "backslash"},
        {{"--serial", "S", "--isn", "I\\x4"}, "backslash"},
        {{"--serial", "S"}, "both --serial and --isn"},
        {{"--serial", "S", "--serial", "T", "--isn", "I"}, "given twice"},
        {{"--serial", "S", "--isn"}, "needs a value"},
        {{"--serial", "S", "--isn", "I", "--force"}, "unknown argument --force"},
    };
    for (const auto& refusal : refusals) {
        write("record", "kept");
        std::vector<std::string> args = {"make", "-o", "record"};
        args.insert(args.end(), refusal.args.begin(), refusal.args.end());
        Result result = run(args);
        EXPECT_EQ(result.status, 2) << refusal.complaint;
        EXPECT_THAT(result.err, HasSubstr(refusal.complaint));
        EXPECT_EQ(result.out, "") << refusal.complaint;
        EXPECT_EQ(read("record"), "kept") << refusal.complaint;
    }
}

TEST_F(BarcodeRecord, InspectWarnsOfWhatADeviceWouldNotPublishAsWritten) {
    EXPECT_THAT(warnings_for(record_with("SN0042", "ISN 1")), ElementsAre());
    EXPECT_THAT(warnings_for(record_with(std::string("\0X1", 3), "I")), ElementsAre())
        << "a zero at byte 104 followed by text is passed over";
    EXPECT_THAT(warnings_for(record_with("SN-0042", "I")), ElementsAre("serial-dropped"));
    EXPECT_THAT(warnings_for(record_with(std::string(147, '-'), "I")),
                ElementsAre("serial-runs-into-isn", "serial-dropped"));
    EXPECT_THAT(warnings_for(record_with(std::string(60, 'S') + std::string(87, '-'), "")),
                ElementsAre("serial-dropped"))
        << "the serial ends on the ISN's zero byte at 251";
    EXPECT_THAT(warnings_for(record_with(std::string(63, 'S'), "I")), ElementsAre());
    EXPECT_THAT(warnings_for(record_with(std::string(64, 'S'), "I")), ElementsAre("serial-cut"));
    EXPECT_THAT(warnings_for(record_with("", "I")), ElementsAre("serial-empty"));
    EXPECT_THAT(warnings_for(record_with("-", "I")), ElementsAre("serial-dropped", "serial-empty"));
    EXPECT_THAT(warnings_for(record_with("S", std::string(91, 'i'))), ElementsAre());
    EXPECT_THAT(warnings_for(record_with("S", std::string(92, 'i'))), ElementsAre("isn-too-long"));
    EXPECT_THAT(warnings_for(record_with("S", std::string(773, 'i'))),
                ElementsAre("isn-too-long", "isn-unterminated"));
    EXPECT_THAT(warnings_for(record_with("S", "caf\xc3\xa9 \xf0\x9f\x93\xa6")), ElementsAre());
    for (const char* bad : {"\xc3", "\x80", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80"}) {
        EXPECT_THAT(warnings_for(record_with("S", bad)), ElementsAre("isn-not-utf8"))
            << testing::PrintToString(bad);
    }

    write("record", record_with(std::string(70, 'S'), "I"));
    Result text = run({"inspect", "record"});
    EXPECT_EQ(text.status, 1);
    EXPECT_THAT(text.out, HasSubstr("\"" + std::string(63, 'S') +
                                    "\"\n  ro.isn \"I\"\n  warning: "
                                    "the serial field holds 70 letters and digits; a device keeps "
                                    "the first 63\n"));
}

TEST_F(BarcodeRecord, InspectExitsWithTheWorstOfItsFiles) {
    write("clean", record_with("SN1", "ISN1"));
    write("warned", record_with("SN-1", "ISN1"));
    write("short", record_with("SN1", "ISN1").substr(0, 1023));
    write("long", record_with("SN1", "ISN1") + "x");
    fs::create_directory(path("folder"));

    EXPECT_EQ(run({"inspect", "clean"}).status, 0);
    EXPECT_EQ(run({"inspect", "clean", "warned", "clean"}).status, 1);
    for (const char* refused : {"short", "long"}) {
        Result result = run({"inspect", "clean", refused, "warned"});
        EXPECT_EQ(result.status, 2) << refused;
        EXPECT_THAT(result.out, HasSubstr(std::string(refused) + "\n  refused: "));
        EXPECT_THAT(result.out,
                    HasSubstr("\"error:unexpected record size\" and publishes nothing"));
        EXPECT_THAT(result.out, HasSubstr("warned\n"));
    }
    for (const char* unreadable : {"missing", "folder"}) {
        Result result = run({"inspect", "--json", unreadable, "clean"});
        EXPECT_EQ(result.status, 2) << unreadable;
        EXPECT_THAT(result.err, HasSubstr(std::string("barcode-record: ") + unreadable + ": "));
        EXPECT_THAT(result.out, HasSubstr("{\"file\":\"clean\",\"status\":0,"));
    }
    EXPECT_EQ(run({"inspect", "--json", "short"}).out,
              "{\"file\":\"short\",\"status\":2,\"size\":1023,"
              "\"refused\":\"error:unexpected record size\"}\n");

    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{}, {"inspect"}, {"inspect", "--json"}, {"check", "clean"}}) {
        Result result = run(wrong);
        EXPECT_EQ(result.status, 2);
        EXPECT_THAT(result.err, HasSubstr("usage: barcode-record make"));
    }
    Result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("usage: barcode-record make"));
}

}  // namespace
