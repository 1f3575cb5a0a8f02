#include "provisioning/vossel.h"

// The program takes no arguments; the C library turns the result into the exit status.
int main() {
    return vossel_main();
}
