// What the Windows shell knows about a caller: the number read with the
// Region setting, and a name from Telvane's own phonebook or the contacts
// file the Phonebook setting names. The files are looked at again (their
// time and size) whenever a caller is shown, so an edit shows without a
// restart and nothing waits in the background.
#pragma once

#include "callers/NumberKnowledge.h"
#include "callers/Phonebook.h"
#include "monitor/AddedSettings.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace telvane::win32 {

struct TCallerView {
    TNumberInfo Info;
    std::string Name; // UTF-8; empty when no phonebook knows the number
    // For the glance: "name (area)", the name, the area, or empty.
    std::string Glance() const;
    // The name, else the area.
    std::string NameOrArea() const;
    // The formatted number, its kind, the area and the withheld reason, one a
    // line (UTF-8); empty for a text that says nothing more than itself.
    std::string Details() const;
};

class TWhoCalled {
public:
    // ownFile: Telvane's own phonebook; settings: Region and Phonebook.
    // report gets each problem with a contacts file once (UTF-8).
    TWhoCalled(std::filesystem::path ownFile, const TAddedSettings& settings,
               std::function<void(const std::string&)> report);
    ~TWhoCalled();

    // Reads a file again when its time or size changed since the last read.
    void Refresh();
    // Takes a new Phonebook setting (UTF-8; empty: the own file only).
    void SetUserPhonebook(const std::string& setting);
    // The contacts file the user reads: the setting's, or the own file.
    std::filesystem::path PhonebookPath() const { return User_ ? User_->Path : Own_.Path; }
    // callerText: Shift_JIS, as the monitor holds it.
    TCallerView Describe(const std::string& callerText) const;
    std::string CallerKey(const std::string& callerText) const;
    const TNumberKnowledge& Numbers() const { return *Numbers_; }

    // Gives the caller a name in the own phonebook (an empty name removes
    // it); throws with a UTF-8 message on failure.
    void AddName(const std::string& name, const std::string& callerText);
    const std::filesystem::path& OwnFile() const { return Own_.Path; }

private:
    struct TBook {
        std::filesystem::path Path;
        TPhonebook Book;
        bool Looked = false;  // looked at at least once
        bool Stamped = false; // it existed then, with Time and Size
        std::filesystem::file_time_type Time{};
        std::uintmax_t Size = 0;
        std::string Problem;
        bool Own = false;
    };
    void Load(TBook& book, bool force);

    std::unique_ptr<TNumberKnowledge> Numbers_;
    TBook Own_;
    std::unique_ptr<TBook> User_; // null when the setting names the own file
    std::function<void(const std::string&)> Report_;
};

// %APPDATA%\Maruvo\Telvane\ (the roaming profile: contacts follow the user).
std::filesystem::path ConfigFolder();

} // namespace telvane::win32
