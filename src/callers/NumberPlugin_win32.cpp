// Windows has no libphonenumber: Japanese numbers come from the compiled
// table, and numbers of other regions and from abroad are read as their
// digits, as README's feature table says.
#include "callers/NumberReader.h"

namespace telvane {

std::shared_ptr<const INumberReader> LoadNumberPlugin(const std::string& /*region*/,
                                                      bool /*english*/) {
    return nullptr;
}

std::string NumberPluginProblem() {
    return {};
}

} // namespace telvane
