#include "daemon/DaemonOptions.h"

#include <utility>

namespace telvane {

const char* const kDaemonUsage =
    "Usage: telvaned [options]\n"
    "Watches an ISDN terminal adapter for new callers without a desktop: the call\n"
    "log, the hook command and MQTT as with telvane, one line per event on\n"
    "standard error.\n"
    "\n"
    "  --config FILE     the settings (default: the user's Telvane.conf, shared\n"
    "                    with telvane)\n"
    "  --device PATH     the adapter's serial device, whatever the Port setting says\n"
    "  --log-dir DIR     where RingLog.txt goes (default: $STATE_DIRECTORY when set,\n"
    "                    otherwise where telvane writes it)\n"
    "  --state-dir DIR   keep what the program saves (the last listing and its\n"
    "                    times) in DIR, read over FILE, which is then never written\n"
    "  --help            this text\n"
    "\n"
    "SIGTERM or SIGINT: save and end. SIGHUP: read the settings and contacts again.\n"
    "Exit status: 0 ended as asked, 1 the save failed, 2 a bad start.\n";

TParsedOptions ParseDaemonOptions(const std::vector<std::string>& arguments) {
    TParsedOptions parsed;
    TDaemonOptions& options = parsed.Options;
    const std::pair<const char*, std::string*> valued[] = {{"--config", &options.Config},
                                                           {"--device", &options.Device},
                                                           {"--log-dir", &options.LogDir},
                                                           {"--state-dir", &options.StateDir}};
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != name.npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
        }
        if (name == "--help" && !value) {
            options.Help = true;
            continue;
        }
        std::string* target = nullptr;
        for (const auto& [option, field] : valued) {
            target = name == option ? field : target;
        }
        if (target == nullptr) {
            parsed.Fault = "unknown option " + arguments[i];
            return parsed;
        }
        if (!value && i + 1 < arguments.size()) {
            value = arguments[++i];
        }
        if (!value || value->empty()) {
            parsed.Fault = name + " needs a value";
            return parsed;
        }
        *target = std::move(*value);
    }
    return parsed;
}

} // namespace telvane
