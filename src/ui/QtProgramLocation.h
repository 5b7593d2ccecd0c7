#pragma once

#include "monitor/ProgramLocation.h"

namespace telvane {

// The call log's folder for the running executable, whatever the current
// folder is: decided once, so the hint and every write agree.
class TQtProgramLocation final : public IProgramLocation {
public:
    TQtProgramLocation();
    // The user's data folder, when that is the place, is made as the log
    // is about to be written.
    std::filesystem::path Folder() const override;
    std::string FolderText() const override;

private:
    std::filesystem::path Folder_;
    bool UserData_ = false;
};

} // namespace telvane
