// Writes one value over and over until it is killed: the victim of the
// interrupted-write test. Arguments: user configuration directory, machine
// configuration directory, value name, then the texts to write in turn.
#include "settings/registry_linux.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s USERDIR MACHINEDIR NAME TEXT...\n", argv[0]);
        return 2;
    }
    vmkt::LinuxRegistry registry(argv[1], argv[2]);
    const std::vector<std::string> texts(argv + 4, argv + argc);
    for (std::size_t i = 0;; ++i) {
        registry.writeText(vmkt::RegRoot::CurrentUser, "Software\\VMKT", argv[3],
                           texts[i % texts.size()]);
    }
}
