#include "plugin/Plugin.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace telvane {
namespace {

std::vector<std::filesystem::path> Candidates(const char* file, const char* environment) {
    if (const char* chosen = std::getenv(environment); chosen && *chosen) {
        return {chosen};
    }
    std::vector<std::filesystem::path> files;
    char program[PATH_MAX + 1] = {};
    const ssize_t length = ::readlink("/proc/self/exe", program, PATH_MAX);
    if (length > 0) {
        const auto folder =
            std::filesystem::path(std::string(program, std::size_t(length))).parent_path();
        files.push_back(folder / file);
        files.push_back(folder.parent_path() / "lib" / "telvane" / "plugins" / file);
    }
    return files;
}

} // namespace

void* PluginEntry(const char* file, const char* environment, const char* symbol,
                  std::string& problem) {
    std::string tried;
    for (const std::filesystem::path& candidate : Candidates(file, environment)) {
        std::error_code ignored;
        if (!std::filesystem::exists(candidate, ignored)) {
            tried += (tried.empty() ? "" : ", ") + candidate.string();
            continue;
        }
        // Never closed: what it made lives as long as the program.
        void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            problem = ::dlerror();
            return nullptr;
        }
        void* entry = ::dlsym(module, symbol);
        if (entry == nullptr) {
            problem = candidate.string() + " is no plugin of this Telvane";
        }
        return entry;
    }
    problem = std::string("no ") + file + " (looked for " + tried + ")";
    return nullptr;
}

} // namespace telvane
