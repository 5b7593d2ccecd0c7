// libphonenumber's plugin, opened with dlopen the first time it is needed:
// beside the program (a build), then in ../lib/telvane/plugins from it, where the
// package puts it. TELVANE_NUMBER_PLUGIN names the file instead.
#include "callers/NumberReader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

namespace telvane {
namespace {

constexpr char kPluginFile[] = "libtelvane-phonenumber.so";

using TMakeReader = INumberReader* (*)(const char*, int);

std::mutex Mutex;
bool Tried = false;
TMakeReader Make = nullptr;
std::string Problem;

std::vector<std::string> Candidates() {
    if (const char* chosen = std::getenv("TELVANE_NUMBER_PLUGIN"); chosen && *chosen) {
        return {chosen};
    }
    std::vector<std::string> files;
    char program[PATH_MAX + 1] = {};
    const ssize_t length = ::readlink("/proc/self/exe", program, PATH_MAX);
    if (length > 0) {
        const auto folder =
            std::filesystem::path(std::string(program, std::size_t(length))).parent_path();
        files.push_back((folder / kPluginFile).string());
        files.push_back(
            (folder.parent_path() / "lib" / "telvane" / "plugins" / kPluginFile).string());
    }
    return files;
}

// Under the lock.
void Open() {
    Tried = true;
    std::string tried;
    for (const std::string& file : Candidates()) {
        if (!std::filesystem::exists(file)) {
            tried += (tried.empty() ? "" : ", ") + file;
            continue;
        }
        // Never closed: readers made by it live as long as the program.
        void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            Problem =
                "numbers of other regions are read as their digits: " + std::string(::dlerror());
            return;
        }
        Make = reinterpret_cast<TMakeReader>(::dlsym(module, "TelvaneNumberReader"));
        if (Make == nullptr) {
            Problem = "numbers of other regions are read as their digits: " + file +
                      " is no number plugin of this Telvane";
        }
        return;
    }
    Problem = "numbers of other regions are read as their digits: no " + std::string(kPluginFile) +
              " (looked for " + tried + ")";
}

} // namespace

std::shared_ptr<const INumberReader> LoadNumberPlugin(const std::string& region, bool english) {
    std::lock_guard lock(Mutex);
    if (!Tried) {
        Open();
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
