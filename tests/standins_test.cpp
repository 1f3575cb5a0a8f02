// The stand-in platform libraries' own rules: called directly, for what a run of the program
// cannot show; run by the program, for how they end a run on a device that is set up wrong; and
// read as ELF files, for what they export.
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
#include "tests/record_bytes.h"
#include "tests/simulated_device.h"

namespace {

const char READY[] = "[system] E/vossel: nvram restore ready!";

// The target release's rules, in order on one device: what each write returns, and what the
// property then holds. The caller's library refuses long keys and values (-1); the property
// service drops a second write to a "ro." property, and nobody is told (0).
TEST(StandIn, PropertyWritesAsTheTargetReleasePlaysThem) {
    Device device;
    device.write("properties/ro.empty", "\n");
    setenv(DEVICE_DIR, device.dir().c_str(), 1);
    // The release's limits as numbers: keys of 31 bytes at most, values of 91.
    const std::string key = "ro." + std::string(28, 'k');
    const std::string longest(91, 'v'), too_long(92, 'v');
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

// A device set up wrong ends the run with status 2 and one message, which names the path and
// gives the system's reason. No device folder (VOSSEL_DEVICE_DIR unset, empty, or naming what is
// not a folder), a folder of the device missing, or a file in its place, ends it at the first
// call, before the readiness check could miss; a property or layout file that is there but
// cannot be read ends it when it is read: a "ro." property too, when its write would give way
// to the value it holds; a properties/ folder that cannot be written, at the first write.
TEST(StandIn, EachSetupFaultIsNamedAndEndsTheRun) {
    // unset, empty and named: VOSSEL_DEVICE_DIR is unset, empty, or names the path.
    enum Kind { missing, file, folder, loop, unset, empty, named, read_only };
    const std::string keeps = ": the simulated device keeps its ",
                      must = ": it must name the simulated device's folder";
    const struct {
        const char* path;  // in the device folder
        Kind kind;
        bool ready_first;
        std::string reason;
    } faults[] = {
        {"", unset, false, "VOSSEL_DEVICE_DIR is not set" + must},
        {"", empty, false, "VOSSEL_DEVICE_DIR is empty" + must},
        {"missing", named, false, "No such file or directory"},
        {"properties/nvram_init", named, false, "Not a directory"},
        {"properties/nvram_init/dir", named, false, "Not a directory"},
        {"properties", missing, false, "No such file or directory" + keeps + "properties there"},
        {"properties", file, false, "Not a directory" + keeps + "properties there"},
        {"nvram", missing, false, "No such file or directory" + keeps + "NVRAM files there"},
        {"nvram", file, false, "Not a directory" + keeps + "NVRAM files there"},
        {"properties/nvram_init", folder, false, "Is a directory"},
        {"properties/nvram_init", loop, false, "Too many levels of symbolic links"},
        {"properties/ro.serialno", folder, true, "Is a directory"},
        {"nvram/35.layout", folder, true, "Is a directory"},
        {"nvram/35.layout", loop, true, "Too many levels of symbolic links"},
        {"properties", read_only, true, "Permission denied" + keeps + "properties there"},
    };
    for (const auto& fault : faults) {
        Device device;
        device.write("nvram/35", record_with("SN-1", "ISN-1"));
        const fs::path path = device.dir() / fault.path;
        std::string said = "stand-in: " + path.string() + ": " + fault.reason;
        std::vector<std::string> environment =
            environment_with(DEVICE_DIR, fault.kind == named   ? path.string()
                                         : fault.kind == empty ? ""
                                                               : device.dir().string());
        if (fault.kind == unset) {
            environment.erase(environment.begin());  // environment_with puts the variable first
        }
        if (fault.kind == named) {
            said =
                "stand-in: " + std::string(DEVICE_DIR) + "=" + path.string() + ": " + fault.reason;
        } else if (fault.kind == unset || fault.kind == empty) {
            said = "stand-in: " + fault.reason;
        } else if (fault.kind != read_only) {
            fs::remove_all(path);
        }
        if (fault.kind == file) {
            device.write(fault.path, "");
        } else if (fault.kind == folder) {
            fs::create_directory(path);
        } else if (fault.kind == loop) {
            fs::create_symlink(path.filename(), path);
        } else if (fault.kind == read_only) {
            fs::permissions(path, fs::perms::owner_write, fs::perm_options::remove);
        }
        Running run(environment, fault.kind == read_only);
        EXPECT_EQ(run.finish(), 2) << said;
        std::vector<std::string> log;
        if (fault.ready_first) {
            log.push_back(READY);
        }
        log.push_back(said);
        EXPECT_EQ(run.log, log) << said;
        EXPECT_EQ(device.property("ro.isn"), std::nullopt) << said;
    }
}

// The defined symbols in a library's dynamic symbol table, without their versions.
std::set<std::string> exports_of(const std::string& library) {
    FILE* table = popen(("readelf --dyn-syms -W '" + library + "'").c_str(), "r");
    std::set<std::string> names;
    char line[512];
    while (table != nullptr && fgets(line, sizeof(line), table) != nullptr) {
        std::istringstream fields(line);
        std::string number, value, size, type, bind, visibility, section, name;
        fields >> number >> value >> size >> type >> bind >> visibility >> section >> name;
        if (number.back() == ':' && section != "UND" && (bind == "GLOBAL" || bind == "WEAK")) {
            names.insert(name.substr(0, name.find('@')));
        }
    }
    EXPECT_TRUE(table != nullptr && pclose(table) == 0) << "readelf " << library;
    return names;
}

// Each stand-in is swapped for the device's library: it exports the platform's calls and nothing
// else. libfile_op, of which the program calls nothing, exports only a mark of the stand-in.
TEST(StandIn, EachLibraryExportsThePlatformsCallsOnly) {
    const std::pair<const char*, std::set<std::string>> libraries[] = {
        {STANDIN_LOG, {"__android_log_buf_print"}},
        {STANDIN_CUTILS, {"property_get", "property_set"}},
        {STANDIN_NVRAM, {"NVM_CloseFileDesc", "NVM_GetFileDesc"}},
        {STANDIN_FILE_OP, {"file_op_stand_in"}},
    };
    for (const auto& [library, calls] : libraries) {
        EXPECT_EQ(exports_of(library), calls) << library;
    }
}

}  // namespace
