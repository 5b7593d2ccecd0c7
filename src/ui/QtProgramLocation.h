#pragma once

#include "monitor/ProgramLocation.h"

namespace telvane {

// The folder of the running executable, whatever the current folder is.
class TQtProgramLocation final : public IProgramLocation {
public:
    std::filesystem::path Folder() const override;
    std::string FolderText() const override;
};

} // namespace telvane
