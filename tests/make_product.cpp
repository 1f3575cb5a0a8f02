// Writes a small product folder for trying vossel-check: wired as docs/integration.md tells; or
// the same with the release's init (--stock-init); or the release as it comes (--stock).
#include <stdio.h>
#include <string.h>

#include <exception>
#include <string>

#include "tests/product_tree.h"

int main(int argc, char** argv) {
    std::string variant = argc == 3 ? argv[1] : "";
    if ((argc != 2 && argc != 3) ||
        (argc == 3 && variant != "--stock-init" && variant != "--stock")) {
        (void)fputs("usage: make_product [--stock-init | --stock] FOLDER\n", stderr);
        return 2;
    }
    try {
        product_tree::Tree tree =
            variant == "--stock" ? product_tree::stock() : product_tree::wired();
        if (variant == "--stock-init") {
            tree["root/init"] = product_tree::stock()["root/init"];
        }
        product_tree::write(tree, argv[argc - 1]);
    } catch (const std::exception& failure) {
        (void)fprintf(stderr, "make_product: %s\n", failure.what());
        return 1;
    }
    return 0;
}
