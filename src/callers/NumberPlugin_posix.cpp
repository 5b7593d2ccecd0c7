// libphonenumber's plugin, opened the first time it is needed;
// TELVANE_NUMBER_PLUGIN names the file instead of the usual places.
#include "callers/NumberReader.h"
#include "plugin/Plugin.h"

#include <mutex>

namespace telvane {
namespace {

using TMakeReader = INumberReader* (*)(const char*, int);

std::mutex Mutex;
bool Tried = false;
TMakeReader Make = nullptr;
std::string Problem;

} // namespace

std::shared_ptr<const INumberReader> LoadNumberPlugin(const std::string& region, bool english) {
    std::lock_guard lock(Mutex);
    if (!Tried) {
        Tried = true;
        std::string why;
        Make = reinterpret_cast<TMakeReader>(PluginEntry(
            "libtelvane-phonenumber.so", "TELVANE_NUMBER_PLUGIN", "TelvaneNumberReader", why));
        if (Make == nullptr) {
            Problem = "numbers of other regions are read as their digits: " + why;
        }
    }
    if (Make == nullptr) {
        return nullptr;
    }
    return std::shared_ptr<const INumberReader>(Make(region.c_str(), english ? 1 : 0));
}

std::string NumberPluginProblem() {
    std::lock_guard lock(Mutex);
    return Problem;
}

} // namespace telvane
