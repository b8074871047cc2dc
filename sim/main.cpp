// vmkt-sim FILE...: plays scenario files against the clock in virtual time.
#include "sim/runner.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: vmkt-sim FILE...\n";
        return 2;
    }
    return vmkt::sim::runFiles(std::vector<std::string>(argv + 1, argv + argc), std::cout);
}
