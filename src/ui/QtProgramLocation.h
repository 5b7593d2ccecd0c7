#pragma once

#include "monitor/ProgramLocation.h"

namespace telvane {

// The call log's folder for the running executable, whatever the current
// folder is: decided once, so the hint and every write agree.
class TQtProgramLocation final : public IProgramLocation {
public:
    TQtProgramLocation();
    std::filesystem::path Folder() const override { return Folder_; }
    std::string FolderText() const override;

private:
    std::filesystem::path Folder_;
};

} // namespace telvane
