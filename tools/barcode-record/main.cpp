// barcode-record: makes barcode records, and tells what a device would publish from one.
#include <signal.h>

#include "tools/barcode-record/tool.h"

int main(int argc, char** argv) {
    // A write past the file-size limit then fails with EFBIG and is reported, its temporary file
    // removed, like any other failed write; the default action would kill the tool mid-write
    // and leave the temporary file behind. Set here rather than left to the caller, since a
    // shell's "ulimit -f" does not ignore the signal.
    (void)signal(SIGXFSZ, SIG_IGN);
    return record_tool::run_tool(argc, argv, BARCODE_RECORD_VERSION);
}
