// The checks of a built image.
#include "tools/vossel-check/checks.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "tools/vossel-check/image.h"
#include "tools/vossel-check/rc_reader.h"

namespace vossel_check {

namespace {

const char DOCS[] = "docs/integration.md#";
const char SERVICE[] = "vossel";
const char PROGRAM_PATH[] = "/system/bin/vossel";
const char STOPPED[] = "property:init.svc.vossel=stopped";
const char READY[] = "property:nvram_init=Ready";
const char SERIAL_TRIGGER[] = "property:ro.serialno=";
// The properties the program alone must set.
const char* const PUBLISHED[] = {"ro.serialno", "ro.isn"};
// The triggers init runs, in this order, before the program can have ended: the boot sequence,
// and "nonencrypted", which mount_all queues for an unencrypted /data to run right after boot.
// The charger mode runs "charger" in place of the file system's and boot's.
const char* const BOOT_SEQUENCE[] = {"early-init", "init",    "early-fs",
                                     "fs",         "post-fs", "post-fs-data",
                                     "early-boot", "boot",    "nonencrypted"};

std::string see(const char* section) {
    return " (" + std::string(DOCS) + section + ")";
}

bool in_boot_sequence(const std::string& trigger) {
    return std::find(std::begin(BOOT_SEQUENCE), std::end(BOOT_SEQUENCE), trigger) !=
           std::end(BOOT_SEQUENCE);
}

bool is_published(const std::string& name) {
    return name == PUBLISHED[0] || name == PUBLISHED[1];
}

// The commands of every action, with the action's trigger.
template <typename Visit>
void each_command(const Configuration& configuration, Visit visit) {
    for (const Action& action : configuration.actions) {
        for (const Command& command : action.commands) {
            visit(action, command);
        }
    }
}

bool has_command(const Configuration& configuration, const std::string& trigger,
                 const std::string& keyword, const std::string& argument) {
    bool found = false;
    each_command(configuration, [&](const Action& action, const Command& command) {
        found = found || (action.trigger == trigger && command.args[0] == keyword &&
                          command.args[1] == argument);
    });
    return found;
}

class Checker {
  public:
    explicit Checker(const Image& image) : image_(image) {}

    Verdict run() {
        if (!folders_exist() || !read_property_files() || !read_rc_files()) {
            return verdict_;
        }
        if (!check_init()) {
            return verdict_;
        }
        check_service();
        if (!check_program()) {
            return verdict_;
        }
        check_properties();
        check_readers();
        check_framework();
        check_recovery();
        return verdict_;
    }

  private:
    void add(const std::string& file, int line, Severity severity, const std::string& text,
             const char* code) {
        verdict_.findings.push_back({file, line, severity, text, code});
    }
    void add(const Place& place, Severity severity, const std::string& text, const char* code) {
        add(place.file, place.line, severity, text, code);
    }

    bool folders_exist() {
        const std::string* const folders[] = {&image_.product, &image_.root, &image_.system};
        const auto* missing = std::find_if(std::begin(folders), std::end(folders),
                                           [](const std::string* f) { return !is_folder(*f); });
        if (missing != std::end(folders)) {
            verdict_.failure = shown(**missing, 4096) + ": no such folder";
            return false;
        }
        return true;
    }

    // The property files, in the order init loads them; a read-only property keeps the first
    // value set.
    bool read_property_files() {
        const std::pair<const std::string*, const char*> files[] = {
            {&image_.root, "/default.prop"},
            {&image_.system, "/build.prop"},
            {&image_.system, "/default.prop"}};
        for (const auto& [folder, name] : files) {
            bool in_root = folder == &image_.root;
            std::string file_shown = (in_root ? image_.root_shown : image_.system_shown) + name;
            Loaded file = load_file(*folder + name, file_shown, TEXT_FILE_LIMIT);
            if (file.outcome == Loaded::failed) {
                verdict_.failure = file_shown + ": " + file.error;
                return false;
            }
            for (const PropertyLine& line : property_lines(file.bytes)) {
                Place place{file_shown, line.line};
                if (is_published(line.name)) {
                    property_setters_.emplace_back(place, line.name);
                }
                if (properties_.try_emplace(line.name, line.value).second &&
                    line.name == "ro.debuggable") {
                    debuggable_place_ = place;
                }
                // Init expands imports before it loads the system's files.
                if (in_root) {
                    ramdisk_properties_.try_emplace(line.name, line.value);
                }
            }
        }
        return true;
    }

    // A device path as a file of the image: /system/... and /vendor/... in the system folder,
    // the rest in the root folder. A folder imported is missing as a file: init fails to read it,
    // and goes on.
    Loaded load(const std::string& device_path) const {
        Loaded loaded = load_path(device_path);
        if (loaded.outcome == Loaded::failed && loaded.error == FOLDER &&
            device_path != "/init.rc") {
            loaded.outcome = Loaded::missing;
        }
        return loaded;
    }

    Loaded load_path(const std::string& device_path) const {
        std::string path = device_path;
        while (!path.empty() && path[0] == '/') {
            path.erase(0, 1);
        }
        // /vendor is a link to /system/vendor on this release.
        for (const std::string prefix : {"system/", "vendor/"}) {
            if (path.compare(0, prefix.size(), prefix) == 0) {
                std::string rest = prefix == "vendor/" ? path : path.substr(prefix.size());
                return load_file(image_.system + "/" + rest,
                                 image_.system_shown + "/" + shown(rest, 4096), TEXT_FILE_LIMIT);
            }
        }
        return load_file(image_.root + "/" + path, image_.root_shown + "/" + shown(path, 4096),
                         TEXT_FILE_LIMIT);
    }

    bool read_rc_files() {
        std::map<std::string, std::string> properties = ramdisk_properties_;
        if (!image_.hardware.empty()) {
            properties["ro.hardware"] = image_.hardware;
        } else if (!find_hardware(properties)) {
            return false;
        }
        std::string failure;
        if (!read_configuration([this](const std::string& path) { return load(path); }, properties,
                                configuration_, verdict_.findings, failure)) {
            verdict_.failure = failure;
            return false;
        }
        return true;
    }

    // The rc files of the root folder: init.rc first, where it is, then each init.NAME.rc.
    std::vector<std::string> root_rc_files() const {
        std::vector<std::string> entries = folder_entries(image_.root);
        std::stable_partition(entries.begin(), entries.end(),
                              [](const std::string& entry) { return entry == "init.rc"; });
        std::vector<std::string> files;
        std::copy_if(entries.begin(), entries.end(), std::back_inserter(files),
                     [](const std::string& entry) {
                         return entry == "init.rc" ||
                                (entry.size() > 8 && entry.compare(0, 5, "init.") == 0 &&
                                 entry.compare(entry.size() - 3, 3, ".rc") == 0);
                     });
        return files;
    }

    // The files the imports of those name literally, and the imports that name ro.hardware.
    void scan_imports(const std::vector<std::string>& rc_files, std::set<std::string>& named,
                      std::vector<std::pair<Place, std::string>>& asking) const {
        for (const std::string& entry : rc_files) {
            Loaded file = load("/" + entry);
            for (const Line& line : tokenise(file.bytes.substr(0, file.bytes.find('\0')) + "\n")) {
                if (line.words.size() != 2 || line.words[0] != "import") {
                    continue;
                }
                const std::string& target = line.words[1];
                if (target.find('$') == std::string::npos) {
                    named.insert(target.substr(target.find_last_of('/') + 1));
                } else if (target.find("ro.hardware") != std::string::npos) {
                    asking.push_back({{file.shown, line.number}, target});
                }
            }
        }
    }

    // The init.NAME.rc files of the root folder that no import names: the literal ones, nor
    // those that name ro.hardware where it is the NAME of another such file (as
    // /init.${ro.hardware}.usb.rc names init.board.usb.rc for init.board.rc).
    static std::vector<std::string> unnamed_rc_files(
        const std::vector<std::string>& rc_files, std::set<std::string> named,
        const std::vector<std::pair<Place, std::string>>& asking) {
        std::vector<std::string> candidates;
        std::copy_if(rc_files.begin(), rc_files.end(), std::back_inserter(candidates),
                     [&named](const std::string& entry) {
                         return entry != "init.rc" && named.count(entry) == 0;
                     });
        const std::string property = "${ro.hardware}";
        for (const std::string& candidate : candidates) {
            std::string hardware = candidate.substr(5, candidate.size() - 8);
            for (const auto& [place, target] : asking) {
                std::string path = target;
                for (size_t at = 0; (at = path.find(property, at)) != std::string::npos;
                     at += hardware.size()) {
                    path.replace(at, property.size(), hardware);
                }
                std::string file = path.substr(path.find_last_of('/') + 1);
                if (file != candidate) {
                    named.insert(file);
                }
            }
        }
        candidates.erase(
            std::remove_if(candidates.begin(), candidates.end(),
                           [&named](const std::string& entry) { return named.count(entry) != 0; }),
            candidates.end());
        return candidates;
    }

    // Without --hardware: where an import names ${ro.hardware}, it is the NAME of the one
    // init.NAME.rc of the root folder that no import names.
    bool find_hardware(std::map<std::string, std::string>& properties) {
        std::set<std::string> named;
        std::vector<std::pair<Place, std::string>> asking;
        std::vector<std::string> rc_files = root_rc_files();
        scan_imports(rc_files, named, asking);
        if (asking.empty()) {
            return true;
        }
        std::vector<std::string> candidates = unnamed_rc_files(rc_files, named, asking);
        if (candidates.size() != 1) {
            std::string listed;
            for (const std::string& candidate : candidates) {
                listed += (listed.empty() ? "" : ", ") + shown(candidate);
            }
            verdict_.failure =
                asking[0].first.file + ":" + std::to_string(asking[0].first.line) +
                " imports a file named by ${ro.hardware}, and " +
                (candidates.empty()
                     ? "no init.*.rc of " + image_.root_shown + " is left unnamed"
                     : image_.root_shown + " holds " + listed + ", none named by an import") +
                ": give --hardware NAME";
            verdict_.ask_hardware = true;
            return false;
        }
        const std::string& only = candidates[0];
        std::string hardware = only.substr(5, only.size() - 8);
        properties["ro.hardware"] = hardware;
        add(asking[0].first, Severity::note,
            "${ro.hardware} taken as " + shown(hardware) + ", from " + image_.root_shown + "/" +
                shown(only) + ", the one init.*.rc no import names; --hardware names another",
            "hardware");
        return true;
    }

    // False when init cannot be read.
    bool check_init() {
        std::string file = image_.root_shown + "/init";
        std::vector<bool> found;
        std::string error;
        if (!search_file(image_.root + "/init", {"ro.boot.serialno", "ro.serialno"}, found, error)) {
            verdict_.failure = file + ": " + error;
            return false;
        }
        if (found.empty()) {
            add(file, 0, Severity::error,
                "missing: the boot image would have no init; build it with the serial's row "
                "removed" +
                    see("leaving-roserialno-to-the-program"),
                "init-missing");
        } else if (found[0] || found[1]) {
            add(file, 0, Severity::error,
                "holds the row that copies ro.boot.serialno to ro.serialno: at every boot init "
                "sets ro.serialno, to the empty text without a serial from the bootloader, "
                "before any service starts, and the program's value is dropped; build init "
                "without that row" +
                    see("leaving-roserialno-to-the-program"),
                "stock-init-row");
        }
        return true;
    }

    const Service* service() const {
        const auto& services = configuration_.services;
        auto found = std::find_if(services.begin(), services.end(),
                                  [](const Service& defined) { return defined.name == SERVICE; });
        return found == services.end() ? nullptr : &*found;
    }

    bool slow_restore_wiring() const {
        const Service* vossel = service();
        return vossel != nullptr && vossel->disabled &&
               has_command(configuration_, READY, "start", SERVICE);
    }

    void check_service() {
        const Service* vossel = service();
        if (vossel == nullptr) {
            add(configuration_.files[0], 0, Severity::error,
                "no rc file that init reads defines service vossel: the program never runs, and "
                "ro.serialno is not the record's; copy init/vossel.rc to root/init.vossel.rc and "
                "import it from init.<board>.rc" +
                    see("starting-it-at-boot"),
                "service-missing");
            return;
        }
        for (const Place& ignored : vossel->ignored) {
            add(ignored, Severity::warning,
                "a second definition of service vossel, which init ignores: it keeps the first, "
                "at " +
                    vossel->place.file + ":" + std::to_string(vossel->place.line) + "; keep one" +
                    see("when-the-nvram-restore-is-slow"),
                "service-duplicate");
        }
        if (vossel->program[0] != PROGRAM_PATH) {
            add(vossel->place, Severity::error,
                "service vossel runs " + shown(vossel->program[0]) + ", not " + PROGRAM_PATH +
                    ": the program does not run; name " + PROGRAM_PATH + see("starting-it-at-boot"),
                "service-program");
        }
        if (!vossel->as_root) {
            add(vossel->user_place, Severity::error,
                "runs vossel as " + shown(vossel->user) +
                    ": only root may set ro.serialno on this release, so the program's values "
                    "are refused; make it 'user root'" +
                    see("starting-it-at-boot"),
                "service-user");
        }
        if (!vossel->oneshot) {
            add(vossel->place, Severity::error,
                "service vossel is not oneshot: init starts it again each time it exits and "
                "never sets init.svc.vossel to stopped, so the readers' action never runs; add "
                "'oneshot'" +
                    see("starting-it-at-boot"),
                "service-not-oneshot");
        }
        check_service_start(*vossel);
    }

    void check_service_start(const Service& vossel) {
        if (vossel.disabled) {
            if (!slow_restore_wiring()) {
                add(vossel.place, Severity::error,
                    "service vossel is disabled, and no 'on property:nvram_init=Ready' action "
                    "starts it: the program never runs; remove 'disabled', or add that action" +
                        see("when-the-nvram-restore-is-slow"),
                    "service-disabled");
            }
        } else if (!has_command(configuration_, "boot", "class_start", vossel.class_name)) {
            add(vossel.place, Severity::error,
                "service vossel is in class " + shown(vossel.class_name) +
                    ", which no 'on boot' action starts: the program does not run at boot; make "
                    "it 'class core'" +
                    see("starting-it-at-boot"),
                "service-class");
        }
    }

    // False when the program cannot be read.
    bool check_program() {
        std::string file = image_.system_shown + "/bin/vossel";
        Elf elf;
        std::string error;
        if (!read_elf(image_.system + "/bin/vossel", elf, error)) {
            verdict_.failure = file + ": " + error;
            return false;
        }
        switch (elf.kind) {
            case Elf::missing:
                add(file, 0, Severity::error,
                    "missing: init cannot start the program, and ro.serialno is not the "
                    "record's; add vossel to PRODUCT_PACKAGES" +
                        see("deploying"),
                    "program-missing");
                return true;
            case Elf::not_elf:
            case Elf::not_arm32:
            case Elf::not_program:
                add(file, 0, Severity::error,
                    "is " + elf.description +
                        ", not a 32-bit ARM program: the device cannot run it; build it for "
                        "armeabi-v7a" +
                        see("deploying"),
                    "program-not-arm");
                return true;
            case Elf::fixed_address:
                add(file, 0, Severity::error,
                    "is linked at a fixed address, not position-independent as the platform "
                    "tree links it: build it with the tree's Android.mk" +
                        see("deploying"),
                    "program-not-pie");
                break;
            case Elf::program:
                break;
        }
        check_libraries(file, elf.needed);
        return true;
    }

    void check_libraries(const std::string& file, const std::vector<std::string>& needed) {
        for (const std::string& library : needed) {
            bool present = library.find('/') == std::string::npos &&
                           (is_file(image_.system + "/lib/" + library) ||
                            is_file(image_.system + "/vendor/lib/" + library));
            if (!present) {
                add(file, 0, Severity::error,
                    "needs " + shown(library) + ", which is in neither " + image_.system_shown +
                        "/lib nor " + image_.system_shown +
                        "/vendor/lib: the device's linker refuses to start the program; add the "
                        "library to the image" +
                        see("deploying"),
                    "library-missing");
            }
        }
    }

    void check_properties() {
        for (const auto& [place, name] : property_setters_) {
            add(place, Severity::error,
                "sets " + name +
                    " before any service starts: a read-only property keeps its first value, so "
                    "the program's is dropped; remove the line" +
                    see("leaving-roserialno-to-the-program"),
                "property-set");
        }
        each_command(configuration_, [this](const Action&, const Command& command) {
            if (command.args[0] == "setprop" && is_published(command.args[1])) {
                add(command.place, Severity::error,
                    "sets " + command.args[1] +
                        " in init: a read-only property keeps its first value, so the program's "
                        "or this one is dropped; remove the command" +
                        see("leaving-roserialno-to-the-program"),
                    "property-set");
            }
        });
        auto debuggable = properties_.find("ro.debuggable");
        if (debuggable != properties_.end() && debuggable->second == "1") {
            add(debuggable_place_, Severity::note,
                "ro.debuggable=1: an init built for userdebug or eng then also loads "
                "/data/local.prop, which is on the device, not in the image; a line there that "
                "sets ro.serialno or ro.isn wins over the program" +
                    see("leaving-roserialno-to-the-program"),
                "local-prop");
        }
    }

    // The published property that a write's or a setprop's value expands, if any.
    static std::string expanded(const Command& command) {
        if (command.args[0] != "write" && command.args[0] != "setprop") {
            return "";
        }
        bool complete = false;
        std::vector<std::string> names = expanded_names(command.args[2], complete);
        auto found = std::find_if(names.begin(), names.end(), is_published);
        return found == names.end() ? "" : *found;
    }

    void check_readers() {
        each_command(configuration_, [this](const Action& action, const Command& command) {
            std::string name = expanded(command);
            if (name.empty() || action.trigger == STOPPED || action.trigger == "charger") {
                return;
            }
            std::string what = "'" + command.args[0] + " " + shown(command.args[1]) +
                               "' expands ${" + name + "} in 'on " + shown(action.trigger) + "'";
            std::string move = "; move it into 'on " + std::string(STOPPED) + "'" +
                               see("starting-the-serials-readers-after-the-program");
            if (action.trigger.compare(0, sizeof(SERIAL_TRIGGER) - 1, SERIAL_TRIGGER) == 0) {
                add(command.place, Severity::warning,
                    what + ", which never runs after a failed run of the program" + move,
                    "reader-on-serialno");
            } else if (in_boot_sequence(action.trigger)) {
                add(command.place, Severity::error,
                    what + ", before the program has run: it gets no serial" + move, "reader-early");
            } else {
                add(command.place, Severity::error,
                    what + ", which may run before the program ends: it may get no serial" + move,
                    "reader-early");
            }
        });
    }

    void check_framework() {
        const Command* early = nullptr;
        const Command* after = nullptr;
        each_command(configuration_, [&](const Action& action, const Command& command) {
            if (command.args[0] != "class_start" || command.args[1] != "main") {
                return;
            }
            if (early == nullptr && in_boot_sequence(action.trigger)) {
                early = &command;
            } else if (after == nullptr && action.trigger == STOPPED) {
                after = &command;
            }
        });
        if (early != nullptr) {
            add(early->place, Severity::warning,
                "starts class main, the framework, before the program has run: Build.SERIAL "
                "may read 'unknown'; move it into 'on " +
                    std::string(STOPPED) + "'" + see("starting-the-framework-after-the-program"),
                "framework-early");
        } else if (after != nullptr && slow_restore_wiring()) {
            add(after->place, Severity::error,
                "starts class main only after the program, which starts only when nvram_init "
                "reads Ready: a platform that never reports Ready never starts the framework; "
                "start class main in 'on boot' with this wiring" +
                    see("when-the-nvram-restore-is-slow"),
                "framework-never");
        }
    }

    void check_recovery() {
        if (is_folder(image_.product + "/recovery/root")) {
            add("recovery/root", 0, Severity::note,
                "the recovery image boots its own init and rc files, without the program: "
                "ro.serialno there is what its init sets" +
                    see("boot-modes-where-the-program-does-not-run"),
                "recovery");
        }
    }

    const Image& image_;
    Verdict verdict_;
    std::map<std::string, std::string> properties_;          // every property file's, first kept
    std::map<std::string, std::string> ramdisk_properties_;  // those init has when it parses
    std::vector<std::pair<Place, std::string>> property_setters_;
    Place debuggable_place_;
    Configuration configuration_;
};

}  // namespace

Verdict check_image(const Image& image) {
    return Checker(image).run();
}

}  // namespace vossel_check
