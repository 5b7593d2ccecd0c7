#include "outputs/HookLog.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace telvane {

THookLog::THookLog(std::string path, std::uintmax_t fileCap, std::uintmax_t runCap)
    : Path_(std::move(path)), FileCap_(fileCap), RunCap_(runCap) {}

void THookLog::Begin(const std::string& line) {
    RunBytes_ = 0;
    Written_ = true;
    EndsLine_ = true;
    Append(line + "\n");
}

void THookLog::Write(std::string_view output) {
    const std::uintmax_t room = RunBytes_ < RunCap_ ? RunCap_ - RunBytes_ : 0;
    const std::size_t kept =
        static_cast<std::size_t>(std::min<std::uintmax_t>(room, output.size()));
    RunBytes_ += output.size();
    if (kept > 0) {
        Append(output.substr(0, kept));
    }
}

void THookLog::End() {
    if (RunBytes_ > RunCap_) {
        Append(std::string(EndsLine_ ? "" : "\n") + "--- dropped " +
               std::to_string(RunBytes_ - RunCap_) + " bytes of output past the first " +
               std::to_string(RunCap_) + " of this run\n");
    }
}

void THookLog::Append(std::string_view bytes) {
    std::error_code failed;
    const std::uintmax_t size = std::filesystem::file_size(Path_, failed);
    if (!failed && size > 0 && size + bytes.size() > FileCap_) {
        std::filesystem::rename(Path_, Path_ + ".1", failed);
    }
    std::ofstream file(Path_, std::ios::app | std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    Written_ = Written_ && !file.fail();
    EndsLine_ = bytes.back() == '\n';
}

} // namespace telvane
