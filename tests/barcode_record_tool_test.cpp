// barcode-record as built: records made, records inspected, and every exit status.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/record_bytes.h"
#include "tests/spawn.h"
#include "tests/temporary_folder.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::StartsWith;
namespace fs = std::filesystem;

namespace {

// Reads lines of JSON with Python's parser, strictly (UTF-8, one object a line, no duplicate
// key, no NaN), and prints each back in one form: no spaces, keys in their order, only what
// JSON requires escaped.
const char CANONICAL_JSON[] = R"(
import json, sys
def pairs(items):
    if len({key for key, _ in items}) != len(items):
        raise ValueError("duplicate key")
    return dict(items)
def constant(name):
    raise ValueError(name)
text = sys.stdin.buffer.read().decode("utf-8")
if not text.endswith("\n"):
    raise ValueError("no line")
for line in text.split("\n")[:-1]:
    value = json.loads(line, object_pairs_hook=pairs, parse_constant=constant)
    if type(value) is not dict:
        raise ValueError("not an object")
    out = json.dumps(value, ensure_ascii=False, separators=(",", ":")) + "\n"
    sys.stdout.buffer.write(out.encode("utf-8"))
)";

struct Result {
    int status;
    std::string out;
    std::string err;
};

class BarcodeRecord : public ::testing::Test {
  protected:
    fs::path path(const std::string& name) const { return dir_ / name; }

    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }

    std::string read(const std::string& name) const {
        std::ifstream file(path(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), {});
    }

    // Every file and folder in the test's directory, by its path from there.
    std::set<std::string> names(const fs::path& folder = "") const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_ / folder)) {
            names.insert(folder / entry.path().filename());
            if (fs::is_directory(entry.symlink_status())) {
                names.merge(this->names(folder / entry.path().filename()));
            }
        }
        return names;
    }

    // Runs args in the test's directory with `input` on its standard input, its standard output
    // on `terminal` (or any other file) if named, and `variables` ("NAME=value") set; then
    // `descriptors` ({the test's, the tool's}) in place of any of those. `as_plain_user`: bound
    // by permission bits and ownership as a user other than root is.
    Result execute(std::vector<std::string> args, const std::string& input,
                   const std::string& terminal = "", const std::vector<std::string>& variables = {},
                   const std::vector<std::pair<int, int>>& descriptors = {},
                   bool as_plain_user = false) const {
        write(".stdin", input);
        std::vector<std::pair<int, int>> given = {
            {open(path(".stdin").c_str(), O_RDONLY | O_CLOEXEC), 0},
            {open(terminal.empty() ? path(".stdout").c_str() : terminal.c_str(),
                  O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC, 0600),
             1},
            {open(path(".stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600), 2}};
        given.insert(given.end(), descriptors.begin(), descriptors.end());
        std::vector<std::string> env = environment_with("LC_ALL", "C");
        for (const std::string& variable : variables) {
            std::string name = variable.substr(0, variable.find('=') + 1);
            env.erase(
                std::remove_if(env.begin(), env.end(),
                               [&](const std::string& set) { return set.rfind(name, 0) == 0; }),
                env.end());
            env.push_back(variable);
        }
        pid_t pid = spawn(args, env, given, dir_.c_str(), as_plain_user);
        for (int i : {0, 1, 2}) {
            close(given[i].first);
        }
        int status = wait_for(pid);
        return {status, terminal.empty() ? read(".stdout") : "", read(".stderr")};
    }

    Result run(std::vector<std::string> args, const std::string& input = "",
               const std::string& terminal = "", const std::vector<std::string>& variables = {},
               bool as_plain_user = false) const {
        args.insert(args.begin(), BARCODE_RECORD_PROGRAM);
        return execute(args, input, terminal, variables, {}, as_plain_user);
    }

    // Runs a command that prints JSON lines; its standard output comes back as the parser
    // prints it. The interpreter is looked up once: a wrapper named python3 on PATH can take
    // half a second to start it.
    Result json(const std::vector<std::string>& args, const std::string& input = "") const {
        static const std::string python =
            execute({"python3", "-I", "-c", "import sys; print(sys.executable, end='')"}, "").out;
        Result result = run(args, input);
        Result parsed = execute({python, "-I", "-c", CANONICAL_JSON}, result.out);
        EXPECT_EQ(parsed.status, 0) << parsed.err << result.out;
        return {result.status, parsed.out, result.err};
    }

  private:
    TemporaryFolder folder_{"barcode-record"};
    const fs::path& dir_ = folder_.path();
};

TEST_F(BarcodeRecord, MadeRecordsInspectAsTheyWereMade) {
    const std::string control =
        "the ISN holds 2 control bytes (below 0x20, or 0x7f), which a device "
        "publishes as stored";
    Result made = run({"make", "--serial", "SN0042AB", "--isn",
                       "caf\\xc3\\xa9 \\\\ \"1\"\\x1f~\x7f", "-o", "record"});
    EXPECT_EQ(made.status, 1) << made.err;
    EXPECT_EQ(made.out + made.err, "barcode-record: make: warning: " + control + " (isn-control)\n");
    EXPECT_EQ(read("record"), record_with("SN0042AB", "caf\xc3\xa9 \\ \"1\"\x1f~\x7f"));

    Result text = run({"inspect", "record"});
    EXPECT_EQ(text.status, 1) << text.err;
    EXPECT_EQ(text.out,
              "record\n"
              "  ro.serialno \"SN0042AB\"\n"
              "  ro.isn \"caf\\xc3\\xa9 \\\\ \\x221\\x22\\x1f~\\x7f\"\n"
              "  warning: " +
                  control + " (isn-control)\n");

    // What inspect prints is what make takes; -o - is standard output.
    Result again = run({"make", "--serial", "SN0042AB", "--isn",
                        "caf\\xc3\\xa9 \\\\ \\x221\\x22\\x1f~\\x7f", "-o", "-"});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.out, read("record"));

    Result json = this->json({"inspect", "--json", "-"}, again.out);
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(json.out,
              "{\"file\":\"-\",\"status\":1,\"size\":1024,\"ro.serialno\":\"SN0042AB\","
              "\"ro.isn\":\"caf\xc3\xa9 \\\\ \\\"1\\\"\\u001f~\x7f\","
              "\"ro.isn_hex\":\"636166c3a9205c202231221f7e7f\",\"warnings\":[{\"code\":"
              "\"isn-control\",\"message\":\"" +
                  control + "\"}]}\n");

    // Descriptor 0 closed: the temporary file may get it.
    Result closed = execute(
        {"sh", "-c", "exec \"$0\" make --serial S --isn I -o closed <&-", BARCODE_RECORD_PROGRAM},
        "");
    EXPECT_EQ(closed.status, 0) << closed.err;
    EXPECT_EQ(read("closed"), record_with("S", "I"));
    EXPECT_EQ(names(), std::set<std::string>({".stdin", ".stdout", ".stderr", "closed", "record"}));
}

TEST_F(BarcodeRecord, MakeRefusesWhatDoesNotFitAndWritesNothing) {
    const std::string serial_max(146, 'S');
    const std::string isn_max(772, 'I');
    const std::string zero_in_isn =
        "the ISN text holds a zero byte: a device would publish only the part before it";
    const std::string escapes = "': a backslash starts \\\\ or \\xHH only";
    const struct {
        std::vector<std::string> args;
        std::string complaint;  // after "barcode-record: make: "
    } refusals[] = {
        {{"--serial", serial_max + "S", "--isn", "I"},
         "the serial text is 147 bytes; with its zero byte it must end before byte 251, so at "
         "most 146"},
        {{"--serial", "S", "--isn", isn_max + "I"},
         "the ISN text is 773 bytes; with its zero byte it must end inside the record, so at most "
         "772"},
        {{"--serial", "SN\\x001", "--isn", "I"},
         "the serial text holds a zero byte, which would end or split the field"},
        {{"--serial", "\\x00", "--isn", "I"},
         "the serial text holds a zero byte, which would end or split the field"},
        {{"--serial", "S", "--isn", "I\\x00J"}, zero_in_isn},
        {{"--serial", "S", "--isn", "\\x00"}, zero_in_isn},
        {{"--serial", "S\\q", "--isn", "I"}, "--serial: malformed escape in 'S\\q" + escapes},
        {{"--serial", "S", "--isn", "I\\x4"}, "--isn: malformed escape in 'I\\x4" + escapes},
        {{"--serial", "S\\xg1", "--isn", "I"}, "--serial: malformed escape in 'S\\xg1" + escapes},
        {{"--serial", "S\\x4g", "--isn", "I"}, "--serial: malformed escape in 'S\\x4g" + escapes},
        {{"--serial", "S", "--isn", "I\\\n"}, "--isn: malformed escape in 'I\\\\x0a" + escapes},
        {{"--serial", "S", "--isn", "I", "--expect-isn", "I\\x4"},
         "--expect-isn: malformed escape in 'I\\x4" + escapes},
        {{"--expect-serial", "S\\", "--serial", "S", "--isn", "I", "--expect-isn", "I"},
         "--expect-serial: malformed escape in 'S\\" + escapes},
    };
    for (const auto& refusal : refusals) {
        write("record", "kept");
        std::vector<std::string> args = {"make", "-o", "record"};
        args.insert(args.end(), refusal.args.begin(), refusal.args.end());
        Result result = run(args);
        EXPECT_EQ(result.status, 2) << refusal.complaint;
        EXPECT_EQ(result.err, "barcode-record: make: " + refusal.complaint + "\n");
        EXPECT_EQ(result.out, "") << refusal.complaint;
        EXPECT_EQ(read("record"), "kept") << refusal.complaint;
    }
}

TEST_F(BarcodeRecord, MakeReplacesTheFileWholeOrLeavesItAsItWas) {
    fs::create_directory(path("folder"));
    ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
    const std::map<std::string, std::string> links = {
        {"link", "record"},  {"chain", "link"},           {"dangling", "sub/target"},
        {"loop", "loop"},    {"astray", "record/x"},      {"to-folder", "folder"},
        {"to-pipe", "pipe"}, {"to-proc", "/proc/version"}};
    std::set<std::string> files = {".stdin", ".stdout", ".stderr",  "folder",
                                   "pipe",   "record",  "unlisted", "unlisted/record"};
    fs::create_directory(path("unlisted"));
    write("unlisted/record", "kept");
    for (const auto& [link, target] : links) {
        fs::create_symlink(target, path(link));
        files.insert(link);
    }
    // A folder where anyone may make files but remove or replace only their own, as /tmp, and
    // in it another user's file. Only root can give files away.
    const bool root = geteuid() == 0;
    if (root) {
        fs::create_directory(path("sticky"));
        write("sticky/record", "kept");
        ASSERT_EQ(chown(path("sticky/record").c_str(), 65534, 65534), 0);
        ASSERT_EQ(chmod(path("sticky/record").c_str(), 0666), 0);
        ASSERT_EQ(chown(path("sticky").c_str(), 65534, 65534), 0);
        ASSERT_EQ(chmod(path("sticky").c_str(), 01777), 0);
        files.insert({"sticky", "sticky/record"});
    }
    const struct {
        const char* output;
        rlim_t file_size_limit;
        const char* complaint;  // none: the record is written
        int mode = 0600;        // of the file "record"
        bool as_plain_user = false;
        int unlisted = 0700;  // the mode of the folder "unlisted", for the run
    } cases[] = {
        {"record", RLIM_INFINITY, nullptr},
        {"link", RLIM_INFINITY, nullptr},  // the file it names is replaced, the link stays
        {"chain", RLIM_INFINITY, nullptr},
        {"record", 512, "make: record: File too large"},
        {"record", 1023, "make: record: File too large"},  // written to its last byte
        // A folder that may be written and searched, not read: the sync after the rename needs
        // it open.
        {"unlisted/record", RLIM_INFINITY,
         "make: unlisted/record: written, but its folder could not be synced, so the record may "
         "not survive a power cut: Permission denied\n",
         0600, true, 0300},
        {"missing/record", RLIM_INFINITY,
         "in missing/ (the record is written there first, then "
         "renamed to missing/record): No such file or directory"},
        {"folder", RLIM_INFINITY, "folder: not a regular file"},
        {"pipe", RLIM_INFINITY, "pipe: not a regular file"},  // a device likewise
        {"to-folder", RLIM_INFINITY, "to-folder: a symbolic link to what is not a regular file"},
        {"to-pipe", RLIM_INFINITY, "to-pipe: a symbolic link to what is not a regular file"},
        {"to-proc", RLIM_INFINITY,  // the folder named is the file's, not the link's
         "a temporary file in /proc/ (the record is written there first, then renamed to to-proc)"},
        {"dangling", RLIM_INFINITY, "dangling: a symbolic link that names no file; -o follows"},
        {"loop", RLIM_INFINITY, "make: loop: Too many levels of symbolic links\n"},
        {"astray", RLIM_INFINITY, "make: astray: Not a directory\n"},
        {"record/x", RLIM_INFINITY, "make: record/x: Not a directory\n"},
        {"nl\nmissing/record", RLIM_INFINITY,
         "make: cannot create a temporary file in nl\\x0amissing/ (the record is written there "
         "first, then renamed to nl\\x0amissing/record): No such file or directory\n"},
        // As a shell's ">" would not write them, though the folder is the user's.
        {"record", RLIM_INFINITY,
         "make: record: Permission denied; -o replaces only files you may write\n", 0444, true},
        {"link", RLIM_INFINITY,
         "make: link: Permission denied; -o replaces only files you may write\n", 0444, true},
        {"sticky/record", RLIM_INFINITY, "make: sticky/record: Operation not permitted\n", 0600,
         true},
    };
    for (const auto& c : cases) {
        if (!root && c.output == std::string("sticky/record")) {
            continue;
        }
        write("record", "kept");
        fs::permissions(path("record"), fs::perms(c.mode));
        // The tool inherits both; it must not be killed by SIGXFSZ.
        rlimit unlimited, limited;
        getrlimit(RLIMIT_FSIZE, &unlimited);
        limited = {std::min(c.file_size_limit, unlimited.rlim_max), unlimited.rlim_max};
        mode_t mask = umask(027);
        setrlimit(RLIMIT_FSIZE, &limited);
        fs::permissions(path("unlisted"), fs::perms(c.unlisted));
        Result result = run({"make", "--serial", "S", "--isn", "I", "-o", c.output}, "", "", {},
                            c.as_plain_user);
        fs::permissions(path("unlisted"), fs::perms(0700));
        setrlimit(RLIMIT_FSIZE, &unlimited);
        umask(mask);

        EXPECT_EQ(result.status, c.complaint ? 2 : 0) << c.output << result.err;
        EXPECT_THAT(result.err, HasSubstr(c.complaint ? c.complaint : "")) << c.output;
        EXPECT_EQ(read("record"), c.complaint ? "kept" : record_with("S", "I")) << c.output;
        // Replaced or not, the file keeps its permission bits, whatever the umask.
        EXPECT_EQ(fs::status(path("record")).permissions(), fs::perms(c.mode)) << c.output;
        EXPECT_EQ(names(), files) << c.output;
        if (root) {
            EXPECT_EQ(read("sticky/record"), "kept") << c.output;
        }
        EXPECT_TRUE(fs::is_empty(path("folder"))) << c.output;
        EXPECT_TRUE(fs::is_fifo(path("pipe"))) << c.output;
        for (const auto& [link, target] : links) {
            EXPECT_EQ(fs::read_symlink(path(link)), target) << c.output;
        }
    }
}

// The file replaced keeps its permission bits, as under a shell's ">", also through a link, but
// for the set-id bits; a new file gets those of a plain create, 0666 less the umask.
TEST_F(BarcodeRecord, MakeKeepsTheModeOfTheFileItReplaces) {
    fs::create_symlink("record", path("link"));
    const struct {
        const char* output;
        int before;  // -1: there is no file
        mode_t mask;
        int after;
    } cases[] = {
        {"record", -1, 022, 0644},   {"record", -1, 077, 0600},   {"record", -1, 0, 0666},
        {"record", 0600, 022, 0600}, {"record", 0640, 077, 0640}, {"record", 0755, 0, 0755},
        {"record", 0444, 022, 0444}, {"link", 0600, 022, 0600},   {"link", 0604, 077, 0604},
        {"record", 06755, 0, 0755},
    };
    for (const auto& c : cases) {
        if (c.before == 0444 && geteuid() != 0) {
            continue;  // only root may write it, and so replace it
        }
        fs::remove(path("record"));
        if (c.before >= 0) {
            write("record", "kept");
            fs::permissions(path("record"), fs::perms(c.before));
        }
        mode_t mask = umask(c.mask);
        Result result = run({"make", "--serial", "S", "--isn", "I", "-o", c.output});
        umask(mask);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(read("record"), record_with("S", "I"));
        EXPECT_EQ(fs::status(path("record")).permissions(), fs::perms(c.after))
            << c.output << " " << c.before << " " << c.mask;
    }
}

// A terminal as standard output gets no record. One named as input never becomes the tool's
// controlling terminal, though the tool leads a session of its own: when its other end closes,
// reading it fails, and no SIGHUP ends the tool.
TEST_F(BarcodeRecord, MakeWritesNoRecordToATerminalAndInspectTakesNoneAsItsOwn) {
    int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(grantpt(terminal) | unlockpt(terminal), 0);
    std::string name = ptsname(terminal);
    int held = open(name.c_str(), O_RDWR | O_NOCTTY);  // so the terminal does not hang up
    auto printed = [&] {
        pollfd output = {terminal, POLLIN, 0};
        return poll(&output, 1, 200) == 1;
    };
    write("record", record_with("S", "I"));
    ASSERT_EQ(run({"inspect", "record"}, "", name).status, 0);
    EXPECT_TRUE(printed()) << "what is written to the terminal can be seen";
    char drained[4096];
    while (printed() && ::read(terminal, drained, sizeof(drained)) > 0) {
    }

    Result result = run({"make", "--serial", "S", "--isn", "I"}, "", name);
    EXPECT_EQ(result.status, 2);
    EXPECT_THAT(result.err, HasSubstr("will not write a binary record to a terminal"));
    EXPECT_FALSE(printed());
    close(held);
    close(terminal);

    int other_end = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(other_end, 0);
    ASSERT_EQ(fcntl(other_end, F_SETFD, FD_CLOEXEC), 0);  // so that closing it closes it
    ASSERT_EQ(grantpt(other_end) | unlockpt(other_end), 0);
    name = ptsname(other_end);
    int err = open(path(".stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    pid_t pid = spawn({"setsid", BARCODE_RECORD_PROGRAM, "inspect", name},
                      environment_with("LC_ALL", "C"), {{err, STDERR_FILENO}});
    close(err);
    // The other end closes once the tool waits for input: asleep, with the terminal open.
    const fs::path process = "/proc/" + std::to_string(pid);
    auto waiting = [&] {
        std::ifstream stat(process / "stat");
        std::string fields((std::istreambuf_iterator<char>(stat)), {});
        std::error_code error;
        for (const auto& fd : fs::directory_iterator(process / "fd", error)) {
            if (fs::read_symlink(fd, error) == name) {
                return fields.find(") S ") != std::string::npos;
            }
        }
        return false;
    };
    for (int tries = 0; tries < 500 && !waiting(); ++tries) {
        usleep(10000);
    }
    close(other_end);
    EXPECT_EQ(wait_for(pid), 2);
    EXPECT_EQ(read(".stderr"), "barcode-record: inspect: " + name + ": Input/output error\n");

    // A terminal that hangs up after the first of two files: the second's lines cannot be
    // written, which is told with the system's words. The second file is a pipe, so that the
    // tool waits for it to be written.
    int hanging = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(hanging, 0);
    ASSERT_EQ(grantpt(hanging) | unlockpt(hanging), 0);
    int output = open(ptsname(hanging), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(mkfifo(path("second").c_str(), 0600), 0);
    err = open(path(".stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    pid = spawn({BARCODE_RECORD_PROGRAM, "inspect", path("record"), path("second")},
                environment_with("LC_ALL", "C"), {{output, STDOUT_FILENO}, {err, STDERR_FILENO}});
    close(err);
    close(output);
    std::string first;
    for (char part[256]; first.find("ro.isn") == std::string::npos;) {
        pollfd shown = {hanging, POLLIN, 0};
        ssize_t count = poll(&shown, 1, 5000) == 1 ? ::read(hanging, part, sizeof(part)) : -1;
        ASSERT_GT(count, 0) << first;
        first.append(part, count);
    }
    close(hanging);
    std::ofstream(path("second"), std::ios::binary) << record_with("S", "I");
    EXPECT_EQ(wait_for(pid), 2);
    EXPECT_EQ(read(".stderr"), "barcode-record: inspect: standard output: Input/output error\n");
}

// The warning codes of one line of inspect --json.
std::vector<std::string> codes_in(const std::string& line) {
    std::vector<std::string> codes;
    const std::string key = "\"code\":\"";
    for (size_t at = line.find(key); at != std::string::npos; at = line.find(key, at + 1)) {
        size_t start = at + key.size();
        codes.push_back(line.substr(start, line.find('"', start) - start));
    }
    return codes;
}

TEST_F(BarcodeRecord, InspectWarnsOfWhatADeviceWouldNotPublishAsWritten) {
    const std::vector<std::string> none, not_utf8 = {"isn-not-utf8"}, control = {"isn-control"},
                                         space = {"isn-space"};
    const struct {
        std::string serial;
        std::string isn;
        std::vector<std::string> codes;
        std::string json = "";  // "ro.isn"'s value; none: the ISN as a JSON string as it is
    } cases[] = {
        {"SN0042", "ISN 1", none},
        {std::string("\0X1", 3), "I", {"serial-dropped"}},  // the serial written one byte late
        {"SN-0042", "I", {"serial-dropped"}},
        {std::string(147, '-'), "I", {"serial-runs-into-isn", "serial-dropped"}},
        {std::string(60, 'S') + std::string(87, '-'), "", {"serial-dropped", "isn-empty"}},
        {std::string(63, 'S'), "I", none},
        {std::string(64, 'S'), "I", {"serial-cut"}},
        {"", "I", {"serial-empty"}},
        {"-", "I", {"serial-dropped", "serial-empty"}},
        {std::string("\0-", 2), "I", {"serial-dropped", "serial-empty"}},
        {std::string(920, '-'),
         std::string(773, '-'),  // no zero byte from byte 104 on
         {"serial-runs-into-isn", "serial-dropped", "serial-empty", "isn-too-long",
          "isn-unterminated"},
         "null"},
        {"S", std::string(91, 'i'), none},
        {"S", std::string(92, 'i'), {"isn-too-long"}, "null"},
        {"S", std::string(772, 'i'), {"isn-too-long"}, "null"},  // its zero byte is the last
        {"S", std::string(773, 'i'), {"isn-too-long", "isn-unterminated"}, "null"},
        // A factory line's usual slips: a CRLF file's line end, a tab, a stray space.
        {"S", "ISN-1\r", control, "\"ISN-1\\r\""},
        {"S", "I\n\t\x01\x1f\x7f", control, "\"I\\n\\t\\u0001\\u001f\x7f\""},
        {"S", "~I S N~\x80", not_utf8, "\"~I S N~\xef\xbf\xbd\""},
        {"S", " ISN", space},
        {"S", "ISN ", space},
        {"S", " ", space},
        {"S", "", {"isn-empty"}},
        {"", "", {"serial-empty", "isn-empty"}},  // 1024 zero bytes
        // The ISN's own warning; the UTF-8 edge cases are the text module's
        // (barcode_record_text_test.cpp).
        {"S", "\xff", not_utf8},
    };
    std::vector<std::string> args = {"inspect", "--json"};
    for (const auto& c : cases) {
        args.push_back("record" + std::to_string(args.size()));
        write(args.back(), record_with(c.serial, c.isn));
    }
    Result result = json(args);
    EXPECT_EQ(result.status, 1);
    std::istringstream lines(result.out);
    for (const auto& c : cases) {
        std::string line;
        std::getline(lines, line);
        EXPECT_THAT(codes_in(line), ElementsAreArray(c.codes)) << line;
        EXPECT_THAT(line, HasSubstr(c.codes.empty() ? "\"status\":0," : "\"status\":1,"));
        // The check and the decoding agree: valid text is published as it is.
        EXPECT_THAT(
            line, HasSubstr(c.codes == not_utf8 && c.json.empty()
                                ? "\"ro.isn\":\"\xef\xbf\xbd"
                                : "\"ro.isn\":" + (c.json.empty() ? "\"" + c.isn + "\"" : c.json)));
    }

    write("record", record_with(std::string(920, '-'), ""));
    EXPECT_THAT(run({"inspect", "record"}).out,
                HasSubstr("\n  warning: 920 bytes of the serial field are dropped: not ASCII "
                          "letters or digits (serial-dropped)\n  warning: the serial is empty "
                          "(serial-empty)\n"));

    write("record", record_with(std::string(70, 'S'), "I"));
    Result text = run({"inspect", "record"});
    EXPECT_EQ(text.status, 1);
    EXPECT_THAT(text.out, HasSubstr("\"" + std::string(63, 'S') +
                                    "\"\n  ro.isn \"I\"\n  warning: "
                                    "the serial field holds 70 letters and digits; a device keeps "
                                    "the first 63 (serial-cut)\n"));

    // A device sets no "ro.isn" that the property service refuses; its bytes are shown apart.
    write("record\n", record_with("S", " " + std::string(91, 'i')));
    EXPECT_EQ(run({"inspect", "record\n"}).out,
              "record\\x0a\n  ro.serialno \"S\"\n"
              "  ro.isn not set: the ISN is 92 bytes, the property service takes at most 91\n"
              "  ISN field \" " +
                  std::string(91, 'i') +
                  "\"\n  warning: the ISN is 92 bytes; the property service takes at most 91, so "
                  "\"ro.isn\" would not be set (isn-too-long)\n  warning: the ISN starts with a "
                  "space, which a device publishes as stored (isn-space)\n");
}

// The object inspect --json prints for a 1024-byte file named "record"; `expected`, the keys
// that follow the warnings when an expectation is given.
std::string taken(int status, const std::string& serial, const std::string& isn,
                  const std::string& isn_hex, const std::string& warnings = "",
                  const std::string& expected = "") {
    return "{\"file\":\"record\",\"status\":" + std::to_string(status) +
           ",\"size\":1024,\"ro.serialno\":\"" + serial + "\",\"ro.isn\":\"" + isn +
           "\",\"ro.isn_hex\":\"" + isn_hex + "\",\"warnings\":[" + warnings + "]" + expected +
           "}\n";
}

std::string warning(const std::string& code, const std::string& message) {
    return "{\"code\":\"" + code + "\",\"message\":\"" + message + "\"}";
}

std::string repeat(const std::string& text, size_t count) {
    std::string result;
    while (count-- > 0) {
        result += text;
    }
    return result;
}

// What inspect tells of each file, exactly, as standard JSON, and as text where given; with an
// expectation, whether it is met, whatever the warnings.
TEST_F(BarcodeRecord, InspectTellsTheExactBytesInJsonAndText) {
    const std::string iii(91, 'i');
    const std::string too_long =
        warning("isn-too-long",
                "the ISN is 92 bytes; the property service takes at most 91, so \\\"ro.isn\\\" "
                "would not be set");
    const std::string dashes =
        "3 bytes of the serial field are dropped: not ASCII letters or digits";
    const std::string ends = "the ISN ends with a space, which a device publishes as stored";
    const std::string controls = " (below 0x20, or 0x7f), which a device publishes as stored";
    const struct {
        std::string name;
        std::string bytes;  // none: the file is missing
        std::string json;   // none: nothing is printed, and `err` is told
        std::vector<std::string> options = {};
        std::string text = "";  // inspect's text; none: not checked
        std::string err = "";
    } cases[] = {
        {"record", record_with("SN0042", "ISN 1"), taken(0, "SN0042", "ISN 1", "49534e2031")},
        {"record", record_with(std::string("\0X1", 3), "I"),
         taken(1, "X1", "I", "49",
               warning("serial-dropped",
                       "1 byte of the serial field is dropped: not an ASCII letter or digit"))},
        {"record", record_with(std::string(147, '-'), "I"),
         taken(1, "I", "I", "49",
               warning("serial-runs-into-isn",
                       "the serial field has no zero byte in bytes 105 to 251: the serial runs "
                       "on into the ISN field and takes in its letters and digits") +
                   "," +
                   warning("serial-dropped",
                           "147 bytes of the serial field are dropped: not ASCII letters or "
                           "digits"))},
        {"record", record_with(std::string(64, 'S'), "caf\xc3\xa9 \xe2\x82\x01\x7f\"\\"),
         taken(1, std::string(63, 'S'), "caf\xc3\xa9 \xef\xbf\xbd\xef\xbf\xbd\\u0001\x7f\\\"\\\\",
               "636166c3a920e282017f225c",
               warning("serial-cut",
                       "the serial field holds 64 letters and digits; a device keeps the first "
                       "63") +
                   "," +
                   warning("isn-control",
                           "the ISN holds 2 control bytes (below 0x20, or 0x7f), "
                           "which a device publishes as stored") +
                   "," +
                   warning("isn-not-utf8",
                           "the ISN is not valid UTF-8, which later platform releases refuse"))},
        // No "ro.isn": the field's bytes under names of their own.
        {"record", record_with("", std::string(773, 'i')),
         "{\"file\":\"record\",\"status\":1,\"size\":1024,\"ro.serialno\":\"\",\"ro.isn\":null,"
         "\"ro.isn_hex\":null,\"isn_field\":\"" +
             std::string(773, 'i') + "\",\"isn_field_hex\":\"" + repeat("69", 773) +
             "\",\"warnings\":[" + warning("serial-empty", "the serial is empty") + "," +
             warning("isn-too-long",
                     "the ISN is 773 bytes; the property service takes at most 91, so "
                     "\\\"ro.isn\\\" would not be set") +
             "," +
             warning("isn-unterminated",
                     "the ISN has no zero byte before the end of the record: a device reads "
                     "bytes 251 to 1023 as the ISN") +
             "]}\n"},
        {"record", record_with("S", " I\x1f "),
         taken(1, "S", " I\\u001f ", "20491f20",
               warning("isn-control",
                       "the ISN holds 1 control byte (below 0x20, or 0x7f), which "
                       "a device publishes as stored") +
                   "," +
                   warning("isn-space",
                           "the ISN starts and ends with a space, which a device "
                           "publishes as stored"))},
        {"short", record_with("S", "I").substr(0, 1023),
         "{\"file\":\"short\",\"status\":2,\"size\":1023,"
         "\"refused\":\"not 1024 bytes\"}\n"},
        {"q\"\xff", "",
         "{\"file\":\"q\\\"\xef\xbf\xbd\",\"status\":2,\"error\":\"No such file or directory\"}\n"},
        // Not published as stored: the ISN field escaped as every other value.
        {"record",
         record_with("S", iii + "\x01"),
         "{\"file\":\"record\",\"status\":1,\"size\":1024,\"ro.serialno\":\"S\",\"ro.isn\":null,"
         "\"ro.isn_hex\":null,\"isn_field\":\"" +
             iii + "\\u0001\",\"isn_field_hex\":\"" + repeat("69", 91) + "01\",\"warnings\":[" +
             too_long + "," + warning("isn-control", "the ISN holds 1 control byte" + controls) +
             "]}\n",
         {},
         "record\n  ro.serialno \"S\"\n  ro.isn not set: the ISN is 92 bytes, the property service "
         "takes at most 91\n  ISN field \"" +
             iii +
             "\\x01\"\n  warning: the ISN is 92 bytes; the property service takes at most 91, so "
             "\"ro.isn\" would not be set (isn-too-long)\n  warning: the ISN holds 1 control byte" +
             controls + " (isn-control)\n"},
        // Expected and published: status 0, whatever the warnings.
        {"record",
         record_with("SN-0042 A/B", "ISN 1 "),
         taken(0, "SN0042AB", "ISN 1 ", "49534e203120",
               warning("serial-dropped", dashes) + "," + warning("isn-space", ends),
               ",\"expected\":{\"ro.serialno\":\"SN0042AB\",\"ro.isn\":\"ISN 1 \"},"
               "\"mismatches\":[]"),
         {"--expect-isn", "ISN\\x201 ", "--expect-serial", "SN0042AB"},
         "record\n  ro.serialno \"SN0042AB\"\n  ro.isn \"ISN 1 \"\n  warning: " + dashes +
             " (serial-dropped)\n  warning: " + ends + " (isn-space)\n"},
        // Published otherwise: status 1, a line for each text.
        {"record",
         record_with("SN-0042 A/B", "ISN\x01"),
         taken(1, "SN0042AB", "ISN\\u0001", "49534e01",
               warning("serial-dropped", dashes) + "," +
                   warning("isn-control", "the ISN holds 1 control byte" + controls),
               ",\"expected\":{\"ro.serialno\":\"SN-0042 A/B\",\"ro.isn\":\"ISN\\u0002\"},"
               "\"mismatches\":[\"ro.serialno\",\"ro.isn\"]"),
         {"--expect-serial", "SN-0042 A/B", "--expect-isn", "ISN\\x02"},
         "record\n  ro.serialno \"SN0042AB\"\n  ro.isn \"ISN\\x01\"\n  warning: " + dashes +
             " (serial-dropped)\n  warning: the ISN holds 1 control byte" + controls +
             " (isn-control)\n  mismatch: ro.serialno expected \"SN-0042 A/B\", a device would "
             "publish \"SN0042AB\"\n  mismatch: ro.isn expected \"ISN\\x02\", a device would "
             "publish "
             "\"ISN\\x01\"\n"},
        {"record",
         record_with("S", "I"),
         taken(1, "S", "I", "49", "",
               ",\"expected\":{\"ro.isn\":\"\\\\\\\"\xef\xbf\xbd\"},\"mismatches\":[\"ro.isn\"]"),
         {"--expect-isn", "\\\\\"\\xff"},
         "record\n  ro.serialno \"S\"\n  ro.isn \"I\"\n  mismatch: ro.isn expected "
         "\"\\\\\\x22\\xff\", "
         "a device would publish \"I\"\n"},
        // Published not at all: an ISN the property service refuses.
        {"record",
         record_with("S", iii + "i"),
         "{\"file\":\"record\",\"status\":1,\"size\":1024,\"ro.serialno\":\"S\",\"ro.isn\":null,"
         "\"ro.isn_hex\":null,\"isn_field\":\"" +
             iii + "i\",\"isn_field_hex\":\"" + repeat("69", 92) + "\",\"warnings\":[" + too_long +
             "],\"expected\":{\"ro.isn\":\"" + iii + "i\"},\"mismatches\":[\"ro.isn\"]}\n",
         {"--expect-isn", iii + "i"},
         "record\n  ro.serialno \"S\"\n  ro.isn not set: the ISN is 92 bytes, the property service "
         "takes at most 91\n  ISN field \"" +
             iii +
             "i\"\n  warning: the ISN is 92 bytes; the property service takes at most 91, so "
             "\"ro.isn\" would not be set (isn-too-long)\n  mismatch: ro.isn expected \"" +
             iii + "i\", a device would publish nothing\n"},
        // No record to judge: status 2, as without an expectation.
        {"short",
         record_with("S", "I").substr(0, 1000),
         "{\"file\":\"short\",\"status\":2,\"size\":1000,\"refused\":\"not 1024 bytes\"}\n",
         {"--expect-serial", "S"},
         "short\n  refused: 1000 bytes, not 1024: what a device makes of it depends on its NVRAM "
         "library\n"},
        {"record",
         record_with("S", "I"),
         "",
         {"--expect-serial", "S\\q", "--expect-isn", "I\\x0"},
         "",
         "barcode-record: inspect: --expect-serial: malformed escape in 'S\\q': a backslash "
         "starts \\\\ or \\xHH only\n"},
    };
    for (const auto& c : cases) {
        if (!c.bytes.empty()) {
            write(c.name, c.bytes);
        }
        std::vector<std::string> args = {"inspect", "--json"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(c.name);
        const std::string line = testing::PrintToString(args);
        Result result = c.json.empty() ? run(args) : json(args);
        EXPECT_EQ(result.out, c.json) << line;
        EXPECT_THAT(c.json.empty() ? "\"status\":2," : c.json,
                    HasSubstr("\"status\":" + std::to_string(result.status) + ","))
            << line;
        if (c.json.empty()) {
            EXPECT_EQ(result.err, c.err) << line;
        }
        if (!c.text.empty()) {
            args.erase(args.begin() + 1);
            Result text = run(args);
            EXPECT_EQ(text.out, c.text) << line;
            EXPECT_EQ(text.status, result.status) << line;
        }
    }
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
        EXPECT_THAT(result.out, HasSubstr(" not 1024: what a device makes of it depends on its "
                                          "NVRAM library\n"));
        EXPECT_THAT(result.out, HasSubstr("warned\n"));
    }
    for (const char* unreadable : {"missing", "folder"}) {
        Result result = json({"inspect", "--json", unreadable, "clean"});
        EXPECT_EQ(result.status, 2) << unreadable;
        EXPECT_THAT(result.err,
                    HasSubstr(std::string("barcode-record: inspect: ") + unreadable + ": "));
        EXPECT_THAT(result.out, HasSubstr("{\"file\":\"clean\",\"status\":0,"));
    }
}

const char VERSION_LINE[] = "barcode-record " BARCODE_RECORD_VERSION "\n";

// Each command line: the help and the version on standard output with status 0; a mistake on
// standard error, what is wrong, the synopsis and where the help is, with status 2 and nothing
// written.
TEST_F(BarcodeRecord, TheCommandLineIsParsedAsUsualAndMistakesAreToldExactly) {
    write("record", record_with("S", "I"));
    write("--json", record_with("S", "I"));
    const std::map<std::string, std::string> usages = {{"make", run({"make", "--help"}).out},
                                                       {"inspect", run({"inspect", "-h"}).out},
                                                       {"", run({"--help"}).out}};
    const struct {
        std::vector<std::string> args;
        std::string mistake;   // none: status 0, and nothing on standard error
        std::string out = "";  // the start of standard output; none: the help, or nothing
    } cases[] = {
        {{"--help"}, ""},
        {{"-h"}, ""},
        {{"--help", "check"}, ""},
        {{"--version"}, "", VERSION_LINE},
        {{"--vers", "make", "--bogus"}, "", VERSION_LINE},
        {{}, "no command"},
        {{"--force"}, "unrecognized option '--force'"},  // named by the tool, not by its path
        {{"--force", "make"}, "unrecognized option '--force'"},
        {{"--force", "inspect", "record"}, "unrecognized option '--force'"},
        {{"check", "record"}, "unknown command check"},
        {{"check", "--help"}, "unknown command check"},
        {{"make", "-h"}, ""},
        {{"make", "--serial", "S", "--help"}, ""},
        {{"make", "--help", "x"}, ""},
        {{"make", "x", "--serial", "S", "--help"}, ""},
        {{"make", "--version"}, "make: unrecognized option '--version'"},
        {{"make", "--bogus", "--help"}, "make: unrecognized option '--bogus'"},
        {{"make", "-o"}, "make: option requires an argument -- 'o'"},
        {{"make", "--serial", "S", "--isn", "I", "-o", ""}, "make: -o needs a file name"},
        {{"make", "--serial", "S", "--isn", "I", "--", "x"}, "make: unexpected argument x"},
        {{"make", "--serial", "S", "--isn", "I", "--", "x", "y"}, "make: unexpected argument x"},
        {{"make", "--serial", "S", "--", "--help"}, "make: unexpected argument --help"},
        {{"make", "x", "--serial", "S", "--serial", "T"}, "make: unexpected argument x"},
        {{"make", "--serial", "S", "--serial", "T"}, "make: --serial is given twice"},
        {{"make", "--isn", "I", "--serial", "S", "--isn", "J"}, "make: --isn is given twice"},
        {{"make", "--serial", "S", "--isn", "I", "--expect-isn", "I", "--expect-isn", "I"},
         "make: --expect-isn is given twice"},
        {{"make", "--expect-serial", "S", "--isn", "I"}, "make: both --serial and --isn are needed"},
        {{"make", "-o", "a", "--serial", "S", "--isn", "I", "--output", "b"},
         "make: -o is given twice"},
        {{"make", "--serial", "S", "--isn", "I", "x\ny"}, "make: unexpected argument x\\x0ay"},
        {{"check\n"}, "unknown command check\\x0a"},
        {{"make", "-o", "kept", "--serial", "S"}, "make: both --serial and --isn are needed"},
        {{"make", "-o", "kept", "--serial", "S", "--serial", "T", "--isn", "I"},
         "make: --serial is given twice"},
        {{"make", "-o", "kept", "--serial", "S", "--isn"},
         "make: option '--isn' requires an argument"},
        {{"make", "-o", "kept", "--serial", "S", "--isn", "I", "--force"},
         "make: unrecognized option '--force'"},
        {{"make", "-o", "kept", "--serial", "S", "--isn", "I", "extra"},
         "make: unexpected argument extra"},
        {{"inspect", "--help"}, ""},
        {{"inspect", "-h", "record"}, ""},
        {{"inspect", "--help", "missing"}, ""},
        {{"inspect", "--", "--json"}, "", "--json\n  ro.serialno \"S\""},
        {{"inspect", "record", "--json"}, "", "{\"file\":\"record\","},
        {{"inspect", "--jsn", "record"}, "inspect: unrecognized option '--jsn'"},
        {{"inspect", "--expect-isn", "I", "record", "--expect-isn", "J"},
         "inspect: --expect-isn is given twice"},
        {{"inspect", "--expect-serial", "S", "--expect-serial", "S", "--expect-isn", "I"},
         "inspect: --expect-serial is given twice"},
        {{"inspect", "record", "--expect-serial"},
         "inspect: option '--expect-serial' requires an argument"},
        {{"inspect", "--expect-isn", "I"}, "inspect: no file named"},
        {{"inspect", "--expect-isn", "I", "--json", "--", "record"}, "", "{\"file\":\"record\","},
        {{"inspect", "--expect", "I", "record"},
         "inspect: option '--expect' is ambiguous; possibilities: '--expect-serial' "
         "'--expect-isn'"},
        {{"inspect", "-j", "record"}, "inspect: invalid option -- 'j'"},
        {{"inspect", "--json"}, "inspect: no file named"},
        {{"inspect"}, "inspect: no file named"},
    };
    for (const auto& c : cases) {
        write("kept", "kept");
        Result result = run(c.args);
        const std::string line = testing::PrintToString(c.args);
        const std::string command = !c.args.empty() && usages.count(c.args[0]) ? c.args[0] : "";
        const std::string& usage = usages.at(command);
        // The tool's own help starts with make's synopsis.
        ASSERT_THAT(usage,
                    StartsWith("usage: barcode-record " + (command.empty() ? "make" : command)));
        const std::string told = "barcode-record: " + c.mistake + "\n" +
                                 usage.substr(0, usage.find('\n') + 1) + "Try 'barcode-record " +
                                 command + (command.empty() ? "" : " ") +
                                 "--help' for more information.\n";
        EXPECT_EQ(result.status, c.mistake.empty() ? 0 : 2) << line;
        if (c.out.empty()) {
            EXPECT_EQ(result.out, c.mistake.empty() ? usage : "") << line;
        } else {
            EXPECT_THAT(result.out, StartsWith(c.out)) << line;
        }
        EXPECT_EQ(result.err, c.mistake.empty() ? "" : told) << line;
        EXPECT_EQ(read("kept"), "kept") << line;
    }
    // Each help fits 80 columns; the tool's own is followed by each command's, a blank line
    // before each.
    for (const auto& [command, usage] : usages) {
        std::istringstream lines(usage);
        for (std::string line; std::getline(lines, line);) {
            EXPECT_LE(line.size(), 80u) << line;
        }
    }
    EXPECT_THAT(usages.at(""),
                EndsWith("version\n\n" + usages.at("make") + "\n" + usages.at("inspect")));
    setenv("POSIXLY_CORRECT", "1", 1);  // options may follow files all the same
    EXPECT_EQ(json({"inspect", "record", "--json"}).out, taken(0, "S", "I", "49"));
    unsetenv("POSIXLY_CORRECT");
}

// The environment in which the tool's calls fail as `fault` says (tests/failing_calls.c). The
// sanitizers' runtime, if any, would object to a library loaded before it.
std::vector<std::string> failing(const std::string& fault) {
    const char* asan = getenv("ASAN_OPTIONS");
    return {std::string("LD_PRELOAD=") + FAILING_CALLS, "FAIL_CALL=" + fault,
            "ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":verify_asan_link_order=0"};
}

// The record is written, and what a device would not publish as written is told.
TEST_F(BarcodeRecord, MakeTellsTheWarningsOfTheRecordItWrote) {
    const std::string said = "barcode-record: make: warning: ";
    const std::string serial_max(146, 'S'), isn_max(772, 'I');  // the longest texts that fit
    const std::string example_serial = "SN-0042 A/B", example_isn = "ISN-2026-000042";
    const std::string mismatch = "barcode-record: make: mismatch: ";
    const std::string too_long = said +
                                 "the ISN is 92 bytes; the property service takes at most 91, so "
                                 "\"ro.isn\" would not be set (isn-too-long)\n";
    const struct {
        std::string serial, isn, err;
        std::vector<std::string> expect = {};  // options
        int status = -1;                       // none: 0 without a warning, else 1
        bool written = true;
        std::string output = "record";
    } cases[] = {
        {"SN1", "I", ""},
        {example_serial, example_isn,
         said + "3 bytes of the serial field are dropped: not ASCII letters or digits " +
             "(serial-dropped)\n"},
        {serial_max, isn_max,
         said + "the serial field holds 146 letters and digits; a device keeps the first 63 " +
             "(serial-cut)\n" + said +
             "the ISN is 772 bytes; the property service takes at most 91, so \"ro.isn\" " +
             "would not be set (isn-too-long)\n"},
        {"S", std::string(100, 'i'),
         said + "the ISN is 100 bytes; the property service takes at most 91, so \"ro.isn\" " +
             "would not be set (isn-too-long)\n"},
        {"-", "\xff",
         said + "1 byte of the serial field is dropped: not an ASCII letter or digit " +
             "(serial-dropped)\n" + said + "the serial is empty (serial-empty)\n" + said +
             "the ISN is not valid UTF-8, which later platform releases refuse (isn-not-utf8)\n"},
        {"SN1", "", said + "the ISN is empty (isn-empty)\n"},
        {"SN1", example_isn + "\r",
         said + "the ISN holds 1 control byte (below 0x20, or 0x7f), which a device publishes " +
             "as stored (isn-control)\n"},
        {"SN1", " " + example_isn,
         said + "the ISN starts with a space, which a device publishes as stored (isn-space)\n"},
        {"SN1", example_isn + " ",
         said + "the ISN ends with a space, which a device publishes as stored (isn-space)\n"},
        // With an expectation, the status answers it alone: 0, the record written, whatever the
        // warnings; 1, nothing written, and what differs told.
        {example_serial,
         example_isn,
         said + "3 bytes of the serial field are dropped: not ASCII letters or digits " +
             "(serial-dropped)\n",
         {"--expect-serial", "SN0042AB", "--expect-isn", example_isn},
         0},
        {"S", "caf\xc3\xa9", "", {"--expect-isn", "caf\xc3\\xa9"}, 0, true, "-"},
        {example_serial,
         example_isn,
         said + "3 bytes of the serial field are dropped: not ASCII letters or digits " +
             "(serial-dropped)\n" + mismatch +
             "ro.serialno expected \"SN-0042 A/B\", a device would publish \"SN0042AB\"\n",
         {"--expect-serial", example_serial, "--expect-isn", example_isn},
         1,
         false},
        {"S",
         std::string(92, 'i'),
         too_long + mismatch + "ro.isn expected \"" + std::string(92, 'i') +
             "\", a device would publish nothing\n",
         {"--expect-isn", std::string(92, 'i')},
         1,
         false},
        {"SN1",
         "I\r",
         said +
             "the ISN holds 1 control byte (below 0x20, or 0x7f), which a device publishes as "
             "stored (isn-control)\n" +
             mismatch + "ro.serialno expected \"SN2\", a device would publish \"SN1\"\n",
         {"--expect-serial", "SN2"},
         1,
         false,
         "-"},
    };
    for (const auto& c : cases) {
        write("record", "kept");
        std::vector<std::string> args = {"make", "--serial", c.serial, "--isn",
                                         c.isn,  "-o",       c.output};
        args.insert(args.end(), c.expect.begin(), c.expect.end());
        Result result = run(args);
        const std::string made = record_with(c.serial, c.isn);
        EXPECT_EQ(result.status, c.status >= 0 ? c.status : c.err.empty() ? 0 : 1) << c.serial;
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(read("record"), c.written && c.output == "record" ? made : "kept") << c.serial;
        EXPECT_EQ(result.out, c.written && c.output == "-" ? made : "") << c.serial;
    }
    // The example device's record is the one make makes of its texts.
    std::ifstream example(EXAMPLE_RECORD, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(example)), {}),
              record_with(example_serial, example_isn));
}

// At most 1025 bytes of any input are read, and not one of a regular file of another size.
TEST_F(BarcodeRecord, InspectReadsNoMoreThanItNeeds) {
    write("clean", record_with("S", "I"));
    write("short", record_with("S", "I").substr(0, 1023));
    write("one", "x");
    write("huge", "");
    fs::resize_file(path("huge"), 4ULL << 30);  // sparse
    fs::create_directory(path("folder"));
    const std::string refused = ": what a device makes of it depends on its NVRAM library\n";
    Result text =
        run({"inspect", "short", "one", "missing", "/dev/zero", "folder", "new\nline", "clean"});
    EXPECT_EQ(text.status, 2);
    EXPECT_EQ(text.out, "short\n  refused: 1023 bytes, not 1024" + refused +
                            "one\n  refused: 1 byte, not 1024" + refused +
                            "/dev/zero\n  refused: more than 1024 bytes" + refused +
                            "clean\n  ro.serialno \"S\"\n  ro.isn \"I\"\n");
    EXPECT_EQ(text.err,
              "barcode-record: inspect: missing: No such file or directory\n"
              "barcode-record: inspect: folder: Is a directory\n"
              "barcode-record: inspect: new\\x0aline: No such file or directory\n");
    // A read of the huge file would end the tool.
    EXPECT_THAT(run({"inspect", "--json", "huge"}, "", "", failing("read:-9")).out,
                StartsWith("{\"file\":\"huge\",\"status\":2,\"size\":4294967296,\"refused\":"));
    for (const auto& [pipe, size] :
         {std::pair("head -c 5000 /dev/zero", "1025"), {"cat clean", "1024"}}) {
        Result piped = execute(
            {"sh", "-c", pipe + std::string(" | \"$0\" inspect --json -"), BARCODE_RECORD_PROGRAM},
            "");
        EXPECT_THAT(piped.out, HasSubstr(std::string("\"size\":") + size + ",")) << pipe;
    }
    // Other input is read on to more than a record however it comes in pieces: a socket of
    // messages gives one a read, here 1024 bytes, then 10.
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
    const std::string clean = record_with("S", "I") + "0123456789";
    ASSERT_EQ(::write(ends[1], clean.data(), 1024) + ::write(ends[1], clean.data() + 1024, 10),
              1034);
    close(ends[1]);
    Result pieces =
        execute({BARCODE_RECORD_PROGRAM, "inspect", "--json", "-"}, "", "", {}, {{ends[0], 0}});
    close(ends[0]);
    EXPECT_THAT(pieces.out, StartsWith("{\"file\":\"-\",\"status\":2,\"size\":1025,"));
    // Standard input is read from where it stands, each time "-" is named, and left open.
    write("two", std::string(1024, 'x') + record_with("S", "I"));
    Result rest = execute({"sh", "-c", "{ head -c 1024 >/dev/null; \"$0\" inspect - -; } <two",
                           BARCODE_RECORD_PROGRAM},
                          "");
    EXPECT_EQ(rest.out + rest.err,
              "-\n  ro.serialno \"S\"\n  ro.isn \"I\"\n-\n  refused: 0 bytes, not 1024" + refused);
    // Standard input positioned past its end has nothing more to give.
    int past = open(path("clean").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(lseek(past, 5000, SEEK_SET), 5000);
    Result beyond =
        execute({BARCODE_RECORD_PROGRAM, "inspect", "-"}, "", "", {}, {{past, STDIN_FILENO}});
    close(past);
    EXPECT_EQ(beyond.out, "-\n  refused: 0 bytes, not 1024" + refused);
    // Each file is closed once read: 16 files with 12 descriptors.
    std::vector<std::string> sixteen = {"sh", "-c", "ulimit -n 12 && exec \"$0\" \"$@\"",
                                        BARCODE_RECORD_PROGRAM, "inspect"};
    sixteen.resize(sixteen.size() + 16, "clean");
    Result limited = execute(sixteen, "");
    EXPECT_EQ(limited.status, 0) << limited.err;
}

// A failed call or a stop signal at any step of the writing leaves the old file whole and no
// temporary file; a signal ignored or blocked from the start stops nothing. Output that cannot
// be written is a failure too.
TEST_F(BarcodeRecord, FailedWritesAreToldAndChangeNothing) {
    write("clean", record_with("S", "I"));
    fs::create_symlink("record", path("link"));
    const std::vector<std::string> make = {"make", "--serial", "S", "--isn", "I", "-o", "record"};
    const std::string full = ": standard output: No space left on device\n";
    const std::string io_error = "barcode-record: make: record: Input/output error\n";
    const struct {
        std::vector<std::string> args;
        std::string fault;  // none: standard output is /dev/full
        int status;
        std::string err;
        std::string signals = "";  // an option of env(1), which then starts the tool
        bool written = false;      // though the status is not 0
        bool left = false;         // a temporary file is left behind
    } cases[] = {
        {make, "write:28", 2, "barcode-record: make: record: No space left on device\n"},
        {make, "fsync:5", 2, io_error},
        {make, "close:5", 2, io_error},
        {make, "fchmod:1", 2, "barcode-record: make: record: Operation not permitted\n"},
        {make, "rename:18", 2, "barcode-record: make: record: Invalid cross-device link\n"},
        {{"make", "--serial", "S", "--isn", "I", "-o", "link"},
         "realpath:36",
         2,
         "barcode-record: make: link: File name too long\n"},
        // The second sync is the folder's, after the rename.
        {make, "fsync:5:2", 2,
         "barcode-record: make: record: written, but its folder could not be synced, so the "
         "record may not survive a power cut: Input/output error\n",
         "", true},
        // Where the file system has no unnamed files (open with O_TMPFILE fails), a named one.
        {make, "open:95:1,mkstemp:13", 2,
         "barcode-record: make: cannot create a temporary file in ./ (the record is written "
         "there first, then renamed to record): Permission denied\n"},
        {make, "open:13:1", 2,
         "barcode-record: make: cannot create a temporary file in ./ (the record is written "
         "there first, then renamed to record): Permission denied\n"},
        {make, "open:95:1,mkstemp:-15", 1000 + SIGTERM, ""},
        {make, "open:-15:1", 1000 + SIGTERM, ""},
        {make, "linkat:28", 2, "barcode-record: make: record: No space left on device\n"},
        // Too late to cancel: the file is put in place, then the signal ends the tool.
        {make, "linkat:-1", 1000 + SIGHUP, "", "", true},
        // SIGKILL cannot be held: the unnamed file goes with the tool, a named one stays.
        {make, "write:-9", 1000 + SIGKILL, ""},
        {make, "fsync:-9", 1000 + SIGKILL, ""},
        {make, "linkat:-9", 1000 + SIGKILL, ""},
        {make, "open:22:1,write:-9", 1000 + SIGKILL, "", "", false, true},
        // Linked under a temporary name, not yet renamed over the old file.
        {make, "rename:-9", 1000 + SIGKILL, "", "", false, true},
        // A read interrupted by a signal is tried again.
        {{"inspect", "clean"}, "read:4:1", 0, ""},
        {make, "write:-2", 1000 + SIGINT, ""},
        {make, "fsync:-1", 1000 + SIGHUP, ""},
        {make, "close:-15", 1000 + SIGTERM, ""},
        {make, "write:-3", 1000 + SIGQUIT, ""},
        {make, "write:-2", 0, "", "--ignore-signal=INT"},
        {make, "open:-15:1", 0, "", "--block-signal=TERM"},
        {make, "open:95:1,mkstemp:-15", 0, "", "--block-signal=TERM"},
        {{"--help"}, "", 2, "barcode-record" + full},
        {{"make", "--help"}, "", 2, "barcode-record: make" + full},
        {{"inspect", "--help"}, "", 2, "barcode-record: inspect" + full},
        {{"inspect", "clean"}, "", 2, "barcode-record: inspect" + full},
        {{"inspect", "--json", "clean"}, "", 2, "barcode-record: inspect" + full},
        {{"make", "--serial", "S", "--isn", "I"}, "", 2, "barcode-record: make" + full},
    };
    rlimit core, no_core;  // SIGQUIT leaves no core in the folder
    getrlimit(RLIMIT_CORE, &core);
    no_core = {0, core.rlim_max};
    setrlimit(RLIMIT_CORE, &no_core);
    for (const auto& c : cases) {
        write("record", "kept");
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), BARCODE_RECORD_PROGRAM);
        if (!c.signals.empty()) {
            args.insert(args.begin(), {"env", c.signals});
        }
        Result result = c.fault.empty() ? execute(args, "", "/dev/full")
                                        : execute(args, "", "", failing(c.fault));
        EXPECT_EQ(result.status, c.status) << c.fault << c.args[0];
        EXPECT_EQ(result.err, c.err) << c.fault;
        const bool made = c.args[0] == "make" && (c.status == 0 || c.written);
        EXPECT_EQ(read("record"), made ? record_with("S", "I") : "kept") << c.fault;
        std::set<std::string> left = names();
        for (const char* name : {".stdin", ".stdout", ".stderr", "clean", "link", "record"}) {
            EXPECT_EQ(left.erase(name), 1u) << c.fault << " " << name;
        }
        // Hidden, and named as the manual page says.
        EXPECT_EQ(left.size(), c.left ? 1u : 0u) << c.fault;
        for (const std::string& name : left) {
            EXPECT_THAT(name, MatchesRegex("\\.barcode-record-[A-Za-z0-9]{6}")) << c.fault;
            fs::remove(path(name));
        }
    }
    setrlimit(RLIMIT_CORE, &core);

    // Standard output a non-blocking pipe, full as it is read late: the error told is the
    // failed write's, though nothing is left to flush at the end. The line is longer than the
    // output buffer.
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0);
    const std::string filling(fcntl(ends[1], F_GETPIPE_SZ), 'x');
    ASSERT_EQ(::write(ends[1], filling.data(), filling.size()), ssize_t(filling.size()));
    write("record", record_with("S", std::string(772, '\x01')));
    Result late = execute({BARCODE_RECORD_PROGRAM, "inspect", "--json", "record"}, "", "", {},
                          {{ends[1], STDOUT_FILENO}});
    close(ends[0]);
    close(ends[1]);
    EXPECT_EQ(late.status, 2);
    EXPECT_EQ(late.err,
              "barcode-record: inspect: standard output: Resource temporarily unavailable\n");
}

// The record is first written in the folder of the file it replaces, not in the link's: a
// rename cannot cross file systems.
TEST_F(BarcodeRecord, MakeFollowsALinkIntoAnotherFileSystem) {
    struct stat here, there;
    std::string other = "/dev/shm/barcode-record-XXXXXX";
    if (stat(path(".").c_str(), &here) != 0 || stat("/dev/shm", &there) != 0 ||
        there.st_dev == here.st_dev || mkdtemp(other.data()) == nullptr) {
        GTEST_SKIP() << "no other file system to link into";
    }
    std::ofstream(other + "/record") << "kept";
    fs::create_symlink(other + "/record", path("link"));
    Result result = run({"make", "--serial", "S", "--isn", "I", "-o", "link"});
    std::ifstream file(other + "/record", std::ios::binary);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(file)), {}), record_with("S", "I"));
    EXPECT_EQ(std::distance(fs::directory_iterator(other), {}), 1);
    EXPECT_EQ(names(), std::set<std::string>({".stdin", ".stdout", ".stderr", "link"}));
    fs::remove_all(other);
}

}  // namespace
