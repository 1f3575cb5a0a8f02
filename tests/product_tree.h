// Product folders as a platform-tree build leaves them, small: the boot image's root (init, its
// rc files, default.prop), the system folder (the program, its libraries, build.prop). One is
// wired as docs/integration.md tells; the other is the release's stock wiring. The tests of
// vossel-check change one thing in them at a time; make_product writes them for trying the tool.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace product_tree {

// A minimal ELF file: the header, a loadable segment over the whole file, an interpreter, and a
// dynamic section that needs `needed`. The defaults make a 32-bit ARM position-independent
// program, as the platform tree links the program.
inline std::string elf_program(const std::vector<std::string>& needed, unsigned type = 3,
                               unsigned machine = 40, unsigned char elf_class = 1) {
    std::string strings(1, '\0');
    std::vector<unsigned> offsets;
    for (const std::string& name : needed) {
        offsets.push_back(static_cast<unsigned>(strings.size()));
        strings += name + '\0';
    }
    const std::string interpreter = std::string("/system/bin/linker") + '\0';
    const unsigned header = 52, programs = 3, entry = 32;
    unsigned interp_at = header + programs * entry;
    unsigned strings_at = interp_at + static_cast<unsigned>(interpreter.size());
    unsigned dynamic_at = (strings_at + static_cast<unsigned>(strings.size()) + 3) & ~3U;
    unsigned dynamic_size = static_cast<unsigned>(needed.size() + 2) * 8;
    unsigned total = dynamic_at + dynamic_size;

    std::string file(total, '\0');
    auto put = [&file](unsigned at, unsigned value, unsigned width) {
        for (unsigned k = 0; k < width; ++k) {
            file[at + k] = static_cast<char>((value >> (8 * k)) & 0xff);
        }
    };
    file.replace(0, 4, "\177ELF");
    file[4] = static_cast<char>(elf_class);
    file[5] = 1;  // little-endian
    file[6] = 1;
    put(16, type, 2);
    put(18, machine, 2);
    put(20, 1, 4);
    put(28, header, 4);  // program headers
    put(40, header, 2);
    put(42, entry, 2);
    put(44, programs, 2);
    unsigned segments[programs][3] = {{1, 0, total},
                                      {3, interp_at, static_cast<unsigned>(interpreter.size())},
                                      {2, dynamic_at, dynamic_size}};
    for (unsigned k = 0; k < programs; ++k) {
        unsigned at = header + k * entry;
        put(at, segments[k][0], 4);       // type
        put(at + 4, segments[k][1], 4);   // offset
        put(at + 8, segments[k][1], 4);   // address: the file is loaded at 0
        put(at + 16, segments[k][2], 4);  // size in the file
        put(at + 20, segments[k][2], 4);  // size in memory
    }
    file.replace(interp_at, interpreter.size(), interpreter);
    file.replace(strings_at, strings.size(), strings);
    unsigned at = dynamic_at;
    for (unsigned offset : offsets) {
        put(at, 1, 4);  // DT_NEEDED
        put(at + 4, offset, 4);
        at += 8;
    }
    put(at, 5, 4);  // DT_STRTAB
    put(at + 4, strings_at, 4);
    return file;
}

// What the program needs on the device, as the tree's Android.mk links it.
inline const std::vector<std::string>& program_libraries() {
    static const std::vector<std::string> libraries = {"liblog.so", "libcutils.so", "libnvram.so",
                                                       "libfile_op.so", "libc.so"};
    return libraries;
}

// A literal's bytes, its NUL bytes included.
template <size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

// The files of a product folder, by their path in it.
using Tree = std::map<std::string, std::string>;

// The release's init.rc, cut down to what the checks read: its imports, the boot sequence, the
// encryption flow's restart of the framework, a core and a main service. `framework` is the
// line `on boot` ends with: the stock start of class main, or nothing.
inline std::string init_rc(const std::string& framework) {
    return "# The root of the boot image: what init reads first.\n"
           "import /init.usb.rc\n"
           "import /init.${ro.hardware}.rc\n"
           "import /init.trace.rc\n"
           "\n"
           "on early-init\n"
           "    start ueventd\n"
           "\n"
           "on init\n"
           "    export PATH /sbin:/vendor/bin:/system/sbin:/system/bin:/system/xbin\n"
           "\n"
           "on fs\n"
           "    mount_all /fstab.board\n"
           "\n"
           "on post-fs-data\n"
           "    mkdir /data/misc 01771 system misc\n"
           "\n"
           "on boot\n"
           "    ifup lo\n"
           "    class_start core\n" +
           framework +
           "\n"
           "on nonencrypted\n"
           "    class_start late_start\n"
           "\n"
           "on charger\n"
           "    class_start charger\n"
           "\n"
           "on property:vold.decrypt=trigger_restart_framework\n"
           "    class_start main\n"
           "    class_start late_start\n"
           "\n"
           "service ueventd /sbin/ueventd\n"
           "    class core\n"
           "    critical\n"
           "\n"
           "service zygote /system/bin/app_process -Xzygote /system/bin --zygote "
           "--start-system-server\n"
           "    class main\n"
           "    socket zygote stream 660 root system\n";
}

// init/vossel.rc's service, as the device's copy holds it.
inline std::string vossel_rc() {
    return "service vossel /system/bin/vossel\n"
           "    class core\n"
           "    user root\n"
           "    group root\n"
           "    oneshot\n";
}

// The image wired as docs/integration.md tells: init without the serial's row, the service
// imported from the board's rc file, the USB serial and the framework started after the program.
inline Tree wired() {
    Tree tree;
    tree["root/init"] = bytes("\177ELF init\0/init.rc\0ro.boot.mode\0ro.bootmode\0");
    tree["root/init.rc"] = init_rc("");
    tree["root/init.usb.rc"] =
        "on post-fs-data\n"
        "    chown system system /sys/class/android_usb/android0/f_mass_storage/lun/file\n";
    tree["root/init.trace.rc"] = "on boot\n    chmod 0222 /sys/kernel/debug/tracing/trace_marker\n";
    tree["root/init.board.rc"] =
        "import /init.vossel.rc\n"
        "\n"
        "on boot\n"
        "    write /sys/class/android_usb/android0/iManufacturer ${ro.product.manufacturer}\n"
        "\n"
        "on property:init.svc.vossel=stopped\n"
        "    write /sys/class/android_usb/android0/iSerial ${ro.serialno}\n"
        "    class_start main\n";
    tree["root/init.vossel.rc"] = vossel_rc();
    tree["root/default.prop"] = "ro.secure=1\nro.debuggable=0\npersist.sys.usb.config=mtp\n";
    tree["system/build.prop"] = "ro.build.id=JDQ39\nro.product.manufacturer=maker\n";
    tree["system/bin/vossel"] = elf_program(program_libraries());
    for (const std::string& library : program_libraries()) {
        tree["system/lib/" + library] = elf_program({}, 3);
    }
    return tree;
}

// The release as it comes: init with the serial's row, the framework started at boot, the USB
// serial written at boot, and no service for the program.
inline Tree stock() {
    Tree tree = wired();
    tree["root/init"] =
        bytes("\177ELF init\0/init.rc\0ro.boot.serialno\0ro.serialno\0ro.boot.mode\0");
    tree["root/init.rc"] = init_rc("    class_start main\n");
    tree["root/init.board.rc"] =
        "on boot\n"
        "    write /sys/class/android_usb/android0/iManufacturer ${ro.product.manufacturer}\n"
        "    write /sys/class/android_usb/android0/iSerial ${ro.serialno}\n";
    tree.erase("root/init.vossel.rc");
    tree.erase("system/bin/vossel");
    return tree;
}

// Writes the files under `product`, making the folders they need.
inline void write(const Tree& tree, const std::filesystem::path& product) {
    for (const auto& [name, bytes] : tree) {
        std::filesystem::path path = product / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << bytes;
        if (!file.flush()) {
            throw std::runtime_error("cannot write " + path.string());
        }
    }
}

}  // namespace product_tree
