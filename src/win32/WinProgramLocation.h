// The program's folder, from the full path of its own executable file.
#pragma once

#include "monitor/ProgramLocation.h"

namespace telvane::win32 {

class TWinProgramLocation final : public IProgramLocation {
public:
    std::filesystem::path Folder() const override;
    std::string FolderText() const override;
};

} // namespace telvane::win32
