// Modules of the program's own that bring a large library with them
// (libphonenumber, libmosquitto and OpenSSL): opened the first time they are
// needed, so that a program that never needs them never has them in memory.
#pragma once

#include <string>

namespace telvane {

// The entry point named symbol of the module file (e.g.
// "libtelvane-mqtt.so"), opened once and never closed. It is looked for
// where the variable environment names it, beside the program (a build), and
// in ../lib/telvane/plugins from the program (the package). Nothing where it
// cannot be had; problem then says why in plain words.
void* PluginEntry(const char* file, const char* environment, const char* symbol,
                  std::string& problem);

} // namespace telvane
