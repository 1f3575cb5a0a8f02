// vossel-check: checks a built device image for the wiring vossel needs, before it is flashed.
#include "tools/vossel-check/tool.h"

int main(int argc, char** argv) {
    return vossel_check::run_tool(argc, argv, VOSSEL_CHECK_VERSION);
}
