#pragma once

#include <filesystem>
#include <string>

namespace telvane {

// The folder of the call log: the program's own folder or, where the user
// may not write there, the user's data folder (CallLogFolder.h).
class IProgramLocation {
public:
    virtual ~IProgramLocation() = default;
    // The folder for file operations.
    virtual std::filesystem::path Folder() const = 0;
    // The same folder as Shift_JIS text for the user, ending in a separator.
    virtual std::string FolderText() const = 0;
};

} // namespace telvane
