// Where the call log goes: the folder of the program's own executable file
// where the user may write there, as for a copy unpacked from the zip;
// otherwise the user's local application data.
#pragma once

#include "monitor/ProgramLocation.h"

namespace telvane::win32 {

class TWinProgramLocation final : public IProgramLocation {
public:
    // Decides once, so that the hint and every write name the same file.
    TWinProgramLocation();

    // The local application data folder, when that is the place, is made as
    // the log is about to be written.
    std::filesystem::path Folder() const override;
    std::string FolderText() const override { return FolderText_; }

private:
    std::filesystem::path Folder_;
    std::string FolderText_;
    bool UserData_ = false;
};

} // namespace telvane::win32
