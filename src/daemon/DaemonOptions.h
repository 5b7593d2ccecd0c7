// telvaned's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace telvane {

struct TDaemonOptions {
    std::string Config;   // --config FILE; empty: the user's Telvane.conf
    std::string Device;   // --device PATH
    std::string LogDir;   // --log-dir DIR
    std::string StateDir; // --state-dir DIR
    bool Help = false;
};

// The options of arguments (without the program's name); the fault in words
// when they are not understood.
struct TParsedOptions {
    TDaemonOptions Options;
    std::string Fault;
};
TParsedOptions ParseDaemonOptions(const std::vector<std::string>& arguments);

extern const char* const kDaemonUsage;

} // namespace telvane
