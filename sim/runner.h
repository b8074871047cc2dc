// The scenario driver: plays scenario files against the headless program.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vmkt::sim {

// Plays one scenario from a fresh world. Every failed step is reported on
// `out` as "LABEL:LINE: ..."; returns whether the scenario passed.
bool runScenario(const std::string& label, std::string_view source, std::ostream& out);

// Plays each file, then prints "N passed, N failed". Returns the exit code:
// 0 only when every file passed.
int runFiles(const std::vector<std::string>& paths, std::ostream& out);

} // namespace vmkt::sim
