// vossel-check as built, on product folders made here: one row per check, each with the line it
// prints and its exit status; odd inputs; the command line.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/product_tree.h"
#include "tests/spawn.h"
#include "tests/temporary_folder.h"

using ::testing::HasSubstr;
using ::testing::StartsWith;
namespace fs = std::filesystem;
using product_tree::Tree;

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

// The docs' sections the findings point to.
const std::string LEAVING = " (docs/integration.md#leaving-roserialno-to-the-program)";
const std::string STARTING = " (docs/integration.md#starting-it-at-boot)";
const std::string DEPLOYING = " (docs/integration.md#deploying)";
const std::string READERS = " (docs/integration.md#starting-the-serials-readers-after-the-program)";
const std::string FRAMEWORK = " (docs/integration.md#starting-the-framework-after-the-program)";
const std::string SLOW = " (docs/integration.md#when-the-nvram-restore-is-slow)";
const std::string MODES = " (docs/integration.md#boot-modes-where-the-program-does-not-run)";

const std::string STOCK_ROW =
    "root/init: error: holds the row that copies ro.boot.serialno to ro.serialno: at every boot "
    "init sets ro.serialno, to the empty text without a serial from the bootloader, before any "
    "service starts, and the program's value is dropped; build init without that row" +
    LEAVING + " [stock-init-row]\n";
const std::string SLOW_SERVICE =
    "service vossel /system/bin/vossel\n    class core\n    user root\n    group root\n"
    "    disabled\n    oneshot\n\non property:nvram_init=Ready\n    start vossel\n";
const std::string MOVE_READER = "; move it into 'on property:init.svc.vossel=stopped'" + READERS;

std::string read_file(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

// Every file under a folder with its size and time of change, to show nothing was written.
std::string listing(const fs::path& folder) {
    std::ostringstream out;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        struct stat status {};
        (void)lstat(entry.path().c_str(), &status);
        out << entry.path().string() << " " << status.st_size << " " << status.st_mtim.tv_sec << "."
            << status.st_mtim.tv_nsec << "\n";
    }
    return out.str();
}

class VosselCheck : public ::testing::Test {
  protected:
    fs::path product() const { return dir_ / "out"; }

    // The product folder holds `tree` alone.
    void make(const Tree& tree) const {
        fs::remove_all(product());
        product_tree::write(tree, product());
    }

    Result run(std::vector<std::string> args, bool as_plain_user = false) const {
        args.insert(args.begin(), VOSSEL_CHECK_PROGRAM);
        return execute(args, as_plain_user);
    }

    // Runs args in the test's folder, with nothing on standard input.
    Result execute(const std::vector<std::string>& args, bool as_plain_user = false) const {
        std::vector<std::pair<int, int>> given = {
            {open("/dev/null", O_RDONLY | O_CLOEXEC), 0},
            {open((dir_ / ".stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600), 1},
            {open((dir_ / ".stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600), 2}};
        pid_t pid = spawn(args, environment_with("LC_ALL", "C"), given, dir_.c_str(), as_plain_user);
        for (const auto& descriptor : given) {
            close(descriptor.first);
        }
        int status = wait_for(pid);
        return {status, read_file(dir_ / ".stdout"), read_file(dir_ / ".stderr")};
    }

  private:
    TemporaryFolder folder_{"vossel-check"};
    const fs::path& dir_ = folder_.path();
};

// A change to the wired product folder, and what the tool then prints before its summary line.
struct Row {
    const char* name;
    std::function<void(Tree&)> change;
    std::string findings;
    std::string summary;  // after "out: "
    int status;
};

const std::string CLEAN = "clean, no errors or warnings";
const std::string ONE_ERROR = "1 error, 0 warnings, 0 notes";
const std::string ONE_WARNING = "0 errors, 1 warning, 0 notes";

// Each check, on a folder that passes it and on one that fails it: each bad folder has one
// mistake, and the tool finds that one only.
TEST_F(VosselCheck, FindsEachMistakeAndOnlyThatOne) {
    const Row rows[] = {
        {"wired as the docs tell", [](Tree&) {}, "", CLEAN, 0},

        // 1. init
        {"stock init", [](Tree& t) { t["root/init"] = product_tree::stock()["root/init"]; },
         STOCK_ROW, ONE_ERROR, 1},
        {"the row's text across two pieces of init",
         [](Tree& t) {
             t["root/init"] = std::string(1024 * 1024 - 5, '\0') + "ro.boot.serialno" + '\0';
         },
         STOCK_ROW, ONE_ERROR, 1},
        {"no init", [](Tree& t) { t.erase("root/init"); },
         "root/init: error: missing: the boot image would have no init; build it with the "
         "serial's row removed" +
             LEAVING + " [init-missing]\n",
         ONE_ERROR, 1},

        // 2. the service
        {"no service",
         [](Tree& t) { t["root/init.board.rc"].erase(0, t["root/init.board.rc"].find('\n') + 1); },
         "root/init.rc: error: no rc file that init reads defines service vossel: the program "
         "never runs, and ro.serialno is not the record's; copy init/vossel.rc to "
         "root/init.vossel.rc and import it from init.<board>.rc" +
             STARTING + " [service-missing]\n",
         ONE_ERROR, 1},
        {"a second service, read after the first: the import's is",
         [](Tree& t) { t["root/init.board.rc"] += product_tree::vossel_rc(); },
         "root/init.vossel.rc:1: warning: a second definition of service vossel, which init "
         "ignores: it keeps the first, at root/init.board.rc:9; keep one" +
             SLOW + " [service-duplicate]\n",
         ONE_WARNING, 0},
        {"another program", [](Tree& t) { t["root/init.vossel.rc"].replace(23, 3, "xbin"); },
         "root/init.vossel.rc:1: error: service vossel runs /system/xbin/vossel, not "
         "/system/bin/vossel: the program does not run; name /system/bin/vossel" +
             STARTING + " [service-program]\n",
         ONE_ERROR, 1},
        {"another user",
         [](Tree& t) {
             t["root/init.vossel.rc"].replace(t["root/init.vossel.rc"].find("user root"), 9,
                                              "user system");
         },
         "root/init.vossel.rc:3: error: runs vossel as system: only root may set ro.serialno on "
         "this release, so the program's values are refused; make it 'user root'" +
             STARTING + " [service-user]\n",
         ONE_ERROR, 1},
        {"uid 0 by number",
         [](Tree& t) {
             t["root/init.vossel.rc"].replace(t["root/init.vossel.rc"].find("user root"), 9,
                                              "user 0");
         },
         "", CLEAN, 0},
        {"no user line: root",
         [](Tree& t) {
             t["root/init.vossel.rc"].replace(t["root/init.vossel.rc"].find("    user root\n"), 14,
                                              "");
         },
         "", CLEAN, 0},
        {"not oneshot",
         [](Tree& t) {
             t["root/init.vossel.rc"].replace(t["root/init.vossel.rc"].find("    oneshot\n"), 12,
                                              "");
         },
         "root/init.vossel.rc:1: error: service vossel is not oneshot: init starts it again each "
         "time it exits and never sets init.svc.vossel to stopped, so the readers' action never "
         "runs; add 'oneshot'" +
             STARTING + " [service-not-oneshot]\n",
         ONE_ERROR, 1},
        {"class main, which starts after it",
         [](Tree& t) {
             t["root/init.vossel.rc"].replace(t["root/init.vossel.rc"].find("core"), 4, "main");
         },
         "root/init.vossel.rc:1: error: service vossel is in class main, which no 'on boot' "
         "action starts: the program does not run at boot; make it 'class core'" +
             STARTING + " [service-class]\n",
         ONE_ERROR, 1},
        {"disabled, nothing starts it",
         [](Tree& t) { t["root/init.vossel.rc"] += "    disabled\n"; },
         "root/init.vossel.rc:1: error: service vossel is disabled, and no 'on "
         "property:nvram_init=Ready' action starts it: the program never runs; remove "
         "'disabled', or add that action" +
             SLOW + " [service-disabled]\n",
         ONE_ERROR, 1},
        {"slow restore, the framework at boot",
         [](Tree& t) {
             t["root/init.vossel.rc"] = SLOW_SERVICE;
             t["root/init.rc"] = product_tree::init_rc("    class_start main\n");
             t["root/init.board.rc"].erase(t["root/init.board.rc"].find("    class_start main"));
         },
         "root/init.rc:21: warning: starts class main, the framework, before the program has "
         "run: Build.SERIAL may read 'unknown'; move it into 'on "
         "property:init.svc.vossel=stopped'" +
             FRAMEWORK + " [framework-early]\n",
         ONE_WARNING, 0},

        // 3. the program
        {"no program", [](Tree& t) { t.erase("system/bin/vossel"); },
         "system/bin/vossel: error: missing: init cannot start the program, and ro.serialno is "
         "not the record's; add vossel to PRODUCT_PACKAGES" +
             DEPLOYING + " [program-missing]\n",
         ONE_ERROR, 1},
        {"a script", [](Tree& t) { t["system/bin/vossel"] = "#!/system/bin/sh\n"; },
         "system/bin/vossel: error: is not an ELF file, not a 32-bit ARM program: the device "
         "cannot run it; build it for armeabi-v7a" +
             DEPLOYING + " [program-not-arm]\n",
         ONE_ERROR, 1},
        {"64-bit",
         [](Tree& t) { t["system/bin/vossel"] = product_tree::elf_program({}, 3, 183, 2); },
         "system/bin/vossel: error: is a 64-bit ELF file, not a 32-bit ARM program: the device "
         "cannot run it; build it for armeabi-v7a" +
             DEPLOYING + " [program-not-arm]\n",
         ONE_ERROR, 1},
        {"the host's build",
         [](Tree& t) { t["system/bin/vossel"] = product_tree::elf_program({"libc.so"}, 3, 3); },
         "system/bin/vossel: error: is an ELF file for x86, not a 32-bit ARM program: the "
         "device cannot run it; build it for armeabi-v7a" +
             DEPLOYING + " [program-not-arm]\n",
         ONE_ERROR, 1},
        {"an object file",
         [](Tree& t) { t["system/bin/vossel"] = product_tree::elf_program({}, 1); },
         "system/bin/vossel: error: is an object file, not a 32-bit ARM program: the device "
         "cannot run it; build it for armeabi-v7a" +
             DEPLOYING + " [program-not-arm]\n",
         ONE_ERROR, 1},
        {"fixed address",
         [](Tree& t) {
             t["system/bin/vossel"] =
                 product_tree::elf_program(product_tree::program_libraries(), 2);
         },
         "system/bin/vossel: error: is linked at a fixed address, not position-independent as "
         "the platform tree links it: build it with the tree's Android.mk" +
             DEPLOYING + " [program-not-pie]\n",
         ONE_ERROR, 1},
        {"a library missing", [](Tree& t) { t.erase("system/lib/libnvram.so"); },
         "system/bin/vossel: error: needs libnvram.so, which is in neither system/lib nor "
         "system/vendor/lib: the device's linker refuses to start the program; add the library "
         "to the image" +
             DEPLOYING + " [library-missing]\n",
         ONE_ERROR, 1},
        {"a library in vendor/lib",
         [](Tree& t) {
             t["system/vendor/lib/libnvram.so"] = t["system/lib/libnvram.so"];
             t.erase("system/lib/libnvram.so");
         },
         "", CLEAN, 0},

        // 4. what sets the properties
        {"ro.serialno in default.prop", [](Tree& t) { t["root/default.prop"] += "ro.serialno=\n"; },
         "root/default.prop:4: error: sets ro.serialno before any service starts: a read-only "
         "property keeps its first value, so the program's is dropped; remove the line" +
             LEAVING + " [property-set]\n",
         ONE_ERROR, 1},
        {"ro.isn in build.prop, its last line without a newline",
         [](Tree& t) { t["system/build.prop"] += "  ro.isn = X"; },
         "system/build.prop:3: error: sets ro.isn before any service starts: a read-only "
         "property keeps its first value, so the program's is dropped; remove the line" +
             LEAVING + " [property-set]\n",
         ONE_ERROR, 1},
        {"a comment", [](Tree& t) { t["system/default.prop"] = "  # ro.serialno=1\n"; }, "", CLEAN,
         0},
        {"setprop",
         [](Tree& t) { t["root/init.board.rc"] += "\non post-fs\n    setprop ro.serialno 0\n"; },
         "root/init.board.rc:11: error: sets ro.serialno in init: a read-only property keeps "
         "its first value, so the program's or this one is dropped; remove the command" +
             LEAVING + " [property-set]\n",
         ONE_ERROR, 1},
        {"debuggable",
         [](Tree& t) { t["root/default.prop"].replace(t["root/default.prop"].find("=0"), 2, "=1"); },
         "root/default.prop:2: note: ro.debuggable=1: an init built for userdebug or eng then "
         "also loads /data/local.prop, which is on the device, not in the image; a line there "
         "that sets ro.serialno or ro.isn wins over the program" +
             LEAVING + " [local-prop]\n",
         CLEAN + " (1 note)", 0},

        // 5. the serial's readers
        {"the USB serial at boot",
         [](Tree& t) {
             t["root/init.usb.rc"] += "\non boot\n    write /sys/iSerial ${ro.serialno}\n";
         },
         "root/init.usb.rc:5: error: 'write /sys/iSerial' expands ${ro.serialno} in 'on boot', "
         "before the program has run: it gets no serial" +
             MOVE_READER + " [reader-early]\n",
         ONE_ERROR, 1},
        {"the old form, continued, on another property",
         [](Tree& t) {
             t["root/init.usb.rc"] +=
                 "on property:sys.usb.config=mtp\n    setprop \\\n  sys.isn $ro.isn\n";
         },
         "root/init.usb.rc:5: error: 'setprop sys.isn' expands ${ro.isn} in 'on "
         "property:sys.usb.config=mtp', which may run before the program ends: it may get no "
         "serial" +
             MOVE_READER + " [reader-early]\n",
         ONE_ERROR, 1},
        {"on the serial's own trigger",
         [](Tree& t) {
             t["root/init.usb.rc"] +=
                 "on property:ro.serialno=*\n    write /sys/s ${ro.serialno}\n";
         },
         "root/init.usb.rc:4: warning: 'write /sys/s' expands ${ro.serialno} in 'on "
         "property:ro.serialno=*', which never runs after a failed run of the program" +
             MOVE_READER + " [reader-on-serialno]\n",
         ONE_WARNING, 0},
        {"not expanded: $$, a quoted comment sign, a command that expands nothing",
         [](Tree& t) {
             t["root/init.usb.rc"] +=
                 "on boot\n    write /sys/s $${ro.serialno}\n"
                 "    mkdir /data/${ro.serialno}\n"
                 "    write /sys/t \"#\" ${ro.serialno}\n";
         },
         "", CLEAN, 0},

        // 6. the framework
        {"the framework at boot too",
         [](Tree& t) { t["root/init.rc"] = product_tree::init_rc("    class_start main\n"); },
         "root/init.rc:21: warning: starts class main, the framework, before the program has "
         "run: Build.SERIAL may read 'unknown'; move it into 'on "
         "property:init.svc.vossel=stopped'" +
             FRAMEWORK + " [framework-early]\n",
         ONE_WARNING, 0},
        {"the framework with late_start, right after boot",
         [](Tree& t) { t["root/init.board.rc"] += "\non nonencrypted\n    class_start main\n"; },
         "root/init.board.rc:11: warning: starts class main, the framework, before the program "
         "has run: Build.SERIAL may read 'unknown'; move it into 'on "
         "property:init.svc.vossel=stopped'" +
             FRAMEWORK + " [framework-early]\n",
         ONE_WARNING, 0},
        {"slow restore, the framework after the program",
         [](Tree& t) { t["root/init.vossel.rc"] = SLOW_SERVICE; },
         "root/init.board.rc:8: error: starts class main only after the program, which starts "
         "only when nvram_init reads Ready: a platform that never reports Ready never starts the "
         "framework; start class main in 'on boot' with this wiring" +
             SLOW + " [framework-never]\n",
         ONE_ERROR, 1},

        // 7. boot modes without the program
        {"a recovery image", [](Tree& t) { t["recovery/root/init.rc"] = "on init\n"; },
         "recovery/root: note: the recovery image boots its own init and rc files, without the "
         "program: ro.serialno there is what its init sets" +
             MODES + " [recovery]\n",
         CLEAN + " (1 note)", 0},
    };
    for (const Row& row : rows) {
        Tree tree = product_tree::wired();
        row.change(tree);
        make(tree);
        std::string before = listing(product());
        Result result = run({"--hardware", "board", "out"});
        EXPECT_EQ(result.out, row.findings + "out: " + row.summary + "\n") << row.name;
        EXPECT_EQ(result.err, "") << row.name;
        EXPECT_EQ(result.status, row.status) << row.name;
        EXPECT_EQ(listing(product()), before) << row.name << ": the product folder changed";
    }
}

// The release as it comes, and the rc files that init.rc imports by ${ro.hardware}.
TEST_F(VosselCheck, ReadsTheImportsInitReads) {
    const std::string hardware_note =
        "root/init.rc:3: note: ${ro.hardware} taken as board, from root/init.board.rc, the one "
        "init.*.rc no import names; --hardware names another [hardware]\n";
    make(product_tree::stock());
    Result stock = run({"out"});
    EXPECT_EQ(stock.out,
              hardware_note + STOCK_ROW +
                  "root/init.rc: error: no rc file that init reads defines service vossel: the "
                  "program never runs, and ro.serialno is not the record's; copy init/vossel.rc "
                  "to root/init.vossel.rc and import it from init.<board>.rc" +
                  STARTING +
                  " [service-missing]\n"
                  "system/bin/vossel: error: missing: init cannot start the program, and "
                  "ro.serialno is not the record's; add vossel to PRODUCT_PACKAGES" +
                  DEPLOYING +
                  " [program-missing]\n"
                  "root/init.board.rc:3: error: 'write "
                  "/sys/class/android_usb/android0/iSerial' expands ${ro.serialno} in 'on "
                  "boot', before the program has run: it gets no serial" +
                  MOVE_READER +
                  " [reader-early]\n"
                  "root/init.rc:21: warning: starts class main, the framework, before the "
                  "program has run: Build.SERIAL may read 'unknown'; move it into 'on "
                  "property:init.svc.vossel=stopped'" +
                  FRAMEWORK +
                  " [framework-early]\n"
                  "out: 4 errors, 1 warning, 1 note\n");
    EXPECT_EQ(stock.status, 1);

    Tree tree = product_tree::wired();
    make(tree);
    Result found = run({"out"});
    EXPECT_EQ(found.out, hardware_note + "out: " + CLEAN + " (1 note)\n");
    EXPECT_EQ(found.status, 0);

    // Another board named: its file is missing, so the service is not defined.
    Result named = run({"--hardware", "other", "out"});
    EXPECT_THAT(named.out,
                StartsWith("root/init.rc:3: warning: imports /init.other.rc, which is not in "
                           "the image: init goes on without it [import-missing]\n"
                           "root/init.rc: error: no rc file that init reads defines service "
                           "vossel"));
    EXPECT_EQ(named.status, 1);

    // The board's file may import another by ro.hardware: that one is named.
    tree["root/init.board.rc"] += "import /init.${ro.hardware}.usb.rc\n";
    tree["root/init.board.usb.rc"] = "on boot\n    write /sys/x ${ro.serialno}\n";
    make(tree);
    Result usb = run({"out"});
    EXPECT_EQ(usb.out, hardware_note +
                           "root/init.board.usb.rc:2: error: 'write /sys/x' expands "
                           "${ro.serialno} in 'on boot', before the program has run: it gets no "
                           "serial" +
                           MOVE_READER + " [reader-early]\nout: 1 error, 0 warnings, 1 note\n");
    EXPECT_EQ(usb.status, 1);
    tree = product_tree::wired();

    // Two files that no import names: which one init reads depends on the device.
    tree["root/init.other.rc"] = "";
    make(tree);
    Result two = run({"out"});
    EXPECT_EQ(two.out, "");
    EXPECT_EQ(two.err,
              "vossel-check: root/init.rc:3 imports a file named by ${ro.hardware}, and root "
              "holds init.board.rc, init.other.rc, none named by an import: give --hardware "
              "NAME\nusage: vossel-check [OPTION]... PRODUCT_OUT\n"
              "Try 'vossel-check --help' for more information.\n");
    EXPECT_EQ(two.status, 2);

    // The root and system folders named directly, by names that are not UTF-8.
    fs::rename(product() / "root", product() / "ram\xff");
    fs::rename(product() / "system", product() / "sys\"");
    Result moved =
        run({"--root", "out/ram\xff", "--hardware", "board", "--system", "out/sys\"", "out"});
    EXPECT_EQ(moved.out, "out: " + CLEAN + "\n");
    EXPECT_EQ(moved.status, 0);
    fs::remove(product() / "sys\"/bin/vossel");
    moved = run({"--json", "--root=out/ram\xff", "--hardware=board", "--system=out/sys\"", "out"});
    EXPECT_THAT(moved.out, StartsWith("[\n{\"file\":\"out/sys\\\\x22/bin/vossel\",\"severity\":"
                                      "\"error\",\"code\":\"program-missing\""));
    EXPECT_EQ(moved.status, 1);
}

// Inputs no build should leave, told clearly and at once: no crash, no hang.
TEST_F(VosselCheck, TellsOddInputsClearly) {
    const std::string big(100000, 'a');
    const struct {
        const char* name;
        std::function<void(const fs::path&)> change;
        std::string out;  // up to the summary line
        std::string err;
        int status;
    } rows[] = {
        {"an import loop",
         [](const fs::path& out) {
             std::ofstream(out / "root/init.trace.rc") << "import /init.rc\n";
         },
         "root/init.trace.rc:1: error: imports /init.rc, which is being read already: this init "
         "reads the files of the loop again and again until it fails, and the device does not "
         "boot; remove the import [import-loop]\nout: 1 error, 0 warnings, 0 notes\n",
         "", 1},
        {"a binary as an rc file",
         [](const fs::path& out) {
             std::ofstream(out / "root/init.trace.rc")
                 << "on boot\n    write /sys/s ${ro.serialno}\n" + product_tree::elf_program({});
         },
         "root/init.trace.rc:3: warning: a NUL byte at byte 47: init reads the file only up to "
         "it, not a line after; is it an rc file? [rc-binary]\n"
         "root/init.trace.rc:2: error: 'write /sys/s' expands ${ro.serialno} in 'on boot', "
         "before the program has run: it gets no serial" +
             MOVE_READER +
             " [reader-early]\n"
             "out: 1 error, 1 warning, 0 notes\n",
         "", 1},
        {"a line of 100,000 bytes, and bytes that are not UTF-8",
         [&big](const fs::path& out) {
             std::ofstream(out / "root/init.trace.rc")
                 << "on property:sys.\xff\xfe=1\n    write /" + big + " ${ro.serialno}\n";
         },
         "root/init.trace.rc:2: error: 'write /" + std::string(63, 'a') +
             "...' expands ${ro.serialno} in 'on property:sys.\\xff\\xfe=1', which may run "
             "before the program ends: it may get no serial" +
             MOVE_READER + " [reader-early]\nout: 1 error, 0 warnings, 0 notes\n",
         "", 1},
        {"init of 100 MB",
         [](const fs::path& out) { fs::resize_file(out / "root/init", 100 * 1024 * 1024); },
         "out: " + CLEAN + "\n", "", 0},
        {"an rc file of 100 MB",
         [](const fs::path& out) { fs::resize_file(out / "root/init.trace.rc", 100 * 1024 * 1024); },
         "",
         "vossel-check: root/init.trace.rc: 104857600 bytes, more than the 16 MiB this tool "
         "reads of such a file\n",
         2},
        {"a pipe as init.rc",
         [](const fs::path& out) {
             fs::remove(out / "root/init.rc");
             ASSERT_EQ(mkfifo((out / "root/init.rc").c_str(), 0600), 0);
         },
         "", "vossel-check: root/init.rc: not a regular file\n", 2},
        {"a folder as init.rc",
         [](const fs::path& out) {
             fs::remove(out / "root/init.rc");
             fs::create_directory(out / "root/init.rc");
         },
         "", "vossel-check: root/init.rc: a folder, not a file\n", 2},
        {"imports from the system image, through /vendor too",
         [](const fs::path& out) {
             std::ofstream(out / "root/init.trace.rc") << "import /system/etc/a.rc\n";
             fs::create_directories(out / "system/etc");
             fs::create_directories(out / "system/vendor/etc");
             std::ofstream(out / "system/etc/a.rc") << "import /vendor/etc/b.rc\n";
             std::ofstream(out / "system/vendor/etc/b.rc") << "on fs\n    setprop ro.isn 1\n";
         },
         "system/vendor/etc/b.rc:2: error: sets ro.isn in init: a read-only property keeps its "
         "first value, so the program's or this one is dropped; remove the command" +
             LEAVING + " [property-set]\nout: 1 error, 0 warnings, 0 notes\n",
         "", 1},
        {"a folder, or nothing, imported: init fails to read it, and goes on",
         [](const fs::path& out) {
             fs::remove(out / "root/init.usb.rc");
             fs::create_directory(out / "root/init.usb.rc");
             std::ofstream(out / "root/init.trace.rc") << "import \"\"\n";
         },
         "root/init.rc:2: warning: imports /init.usb.rc, which is not in the image: init goes on "
         "without it [import-missing]\nroot/init.trace.rc:1: warning: imports , which is not in "
         "the image: init goes on without it [import-missing]\nout: 0 errors, 2 warnings, 0 "
         "notes\n",
         "", 0},
        {"a property file that cannot be read",
         [](const fs::path& out) { fs::permissions(out / "system/build.prop", fs::perms::none); },
         "", "vossel-check: system/build.prop: Permission denied\n", 2},
        {"init that cannot be read",
         [](const fs::path& out) { fs::permissions(out / "root/init", fs::perms::none); }, "",
         "vossel-check: root/init: Permission denied\n", 2},
        {"a program that cannot be read",
         [](const fs::path& out) { fs::permissions(out / "system/bin/vossel", fs::perms::none); },
         "", "vossel-check: system/bin/vossel: Permission denied\n", 2},
        {"a pipe as the program",
         [](const fs::path& out) {
             fs::remove(out / "system/bin/vossel");
             ASSERT_EQ(mkfifo((out / "system/bin/vossel").c_str(), 0600), 0);
         },
         "", "vossel-check: system/bin/vossel: not a regular file\n", 2},
        {"no init.rc", [](const fs::path& out) { fs::remove(out / "root/init.rc"); }, "",
         "vossel-check: root/init.rc: missing: not a product folder's root\n", 2},
        {"no system folder", [](const fs::path& out) { fs::remove_all(out / "system"); }, "",
         "vossel-check: out/system: no such folder\n", 2},
    };
    for (const auto& row : rows) {
        make(product_tree::wired());
        row.change(product());
        Result result = run({"--hardware", "board", "out"}, true);
        EXPECT_EQ(result.out, row.out) << row.name;
        EXPECT_EQ(result.err, row.err) << row.name;
        EXPECT_EQ(result.status, row.status) << row.name;
    }
}

// --json: the same findings, as an array that a JSON parser takes.
TEST_F(VosselCheck, GivesJson) {
    Tree tree = product_tree::wired();
    tree["root/init"] = product_tree::stock()["root/init"];
    tree["recovery/root/init.rc"] = "";
    make(tree);
    Result result = run({"--json", "--hardware", "board", "out"});
    EXPECT_EQ(
        result.out,
        "[\n{\"file\":\"root/init\",\"severity\":\"error\",\"code\":\"stock-init-row\","
        "\"text\":\"" +
            STOCK_ROW.substr(18, STOCK_ROW.size() - 18 - 18) +
            "\"},\n"
            "{\"file\":\"recovery/root\",\"severity\":\"note\",\"code\":\"recovery\",\"text\":"
            "\"the recovery image boots its own init and rc files, without the program: "
            "ro.serialno there is what its init sets" +
            MODES + "\"}\n]\n");
    EXPECT_EQ(result.status, 1);
    std::ofstream(product().parent_path() / "found.json") << result.out;
    Result python = execute({"python3", "-I", "-c",
                             "import json, sys\n"
                             "found = json.load(open(sys.argv[1], encoding='ascii'))\n"
                             "print(len(found), 'line' in found[0], found[1]['code'])",
                             "found.json"});
    EXPECT_EQ(python.status, 0);
    EXPECT_EQ(python.out, "2 False recovery\n") << python.err;
}

TEST_F(VosselCheck, AnswersItsCommandLine) {
    Result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, StartsWith("usage: vossel-check [OPTION]... PRODUCT_OUT\n"));
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 80u) << line;
    }
    Result version = run({"--version"});
    EXPECT_EQ(version.out, std::string("vossel-check ") + VOSSEL_CHECK_VERSION + "\n");
    EXPECT_EQ(version.status, 0);

    const std::string usage =
        "usage: vossel-check [OPTION]... PRODUCT_OUT\n"
        "Try 'vossel-check --help' for more information.\n";
    const struct {
        std::vector<std::string> args;
        std::string complaint;
    } mistakes[] = {
        {{}, "vossel-check: no PRODUCT_OUT\n"},
        {{"a", "b"}, "vossel-check: more than one PRODUCT_OUT\n"},
        {{"--hardware", "", "a"}, "vossel-check: --hardware: an empty name\n"},
        {{"--jsn", "a"}, "vossel-check: unrecognized option '--jsn'\n"},
        {{"a", "--hardware"}, "vossel-check: option '--hardware' requires an argument\n"},
        {{"--hardware", "a", "--hardware", "b", "a"}, "vossel-check: --hardware is given twice\n"},
        {{"--root", "r", "--system", "s", "--root=t", "a"}, "vossel-check: --root is given twice\n"},
    };
    for (const auto& mistake : mistakes) {
        Result result = run(mistake.args);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, mistake.complaint + usage);
        EXPECT_EQ(result.status, 2);
    }
    Result missing = run({"nowhere"});
    EXPECT_EQ(missing.err, "vossel-check: nowhere: no such folder\n");
    EXPECT_EQ(missing.status, 2);
}

}  // namespace
