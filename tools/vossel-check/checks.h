// The checks of a built image: init, the service, the program and its libraries, the property
// files, the readers of the serial, the framework's start and the boot modes without the
// program.
#ifndef VOSSEL_TOOLS_VOSSEL_CHECK_CHECKS_H
#define VOSSEL_TOOLS_VOSSEL_CHECK_CHECKS_H

#include <string>

#include "tools/vossel-check/findings.h"

namespace vossel_check {

struct Image {
    std::string product;  // PRODUCT_OUT, as given
    std::string root;     // the boot image's ramdisk folder
    std::string system;   // the system image's folder
    // The two folders' names in findings, escaped as shown() does.
    std::string root_shown = "root";
    std::string system_shown = "system";
    std::string hardware;  // ro.hardware; empty: found from the rc files of the root folder
};

struct Verdict {
    Findings findings;
    // Set when the image cannot be checked: what stops it. `ask_hardware`: the mistake is the
    // command line's (--hardware is needed).
    std::string failure;
    bool ask_hardware = false;
};

Verdict check_image(const Image& image);

}  // namespace vossel_check

#endif
