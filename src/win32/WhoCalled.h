// What the Windows shell knows about a caller: the number read with the
// Region setting, and a name from Telvane's own phonebook or the contacts
// file the Phonebook setting names. The files are looked at (their time and
// size) whenever a caller is shown, and read again off the window's thread
// when they changed, so an edit shows without a restart and neither a read
// nor anything in between holds the window.
#pragma once

#include "callers/CallerDirectory.h"
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
    // report gets each problem with a contacts file once (UTF-8), from
    // Refresh. loaded is called on the reading thread when a read is in: the
    // shell posts it to its window, which calls Refresh and shows again.
    TWhoCalled(std::filesystem::path ownFile, const TAddedSettings& settings,
               std::function<void(const std::string&)> report, std::function<void()> loaded = {});
    ~TWhoCalled();

    // Asks for a file to be read again when its time or size changed since
    // the last look, and reports the problems of reads that came in.
    void Refresh();
    // Takes a new Phonebook setting (UTF-8; empty: the own file only).
    void SetUserPhonebook(const std::string& setting);
    // The contacts file the user reads: the setting's, or the own file.
    std::filesystem::path PhonebookPath() const {
        return User_.Path.empty() ? Own_.Path : User_.Path;
    }
    // callerText: Shift_JIS, as the monitor holds it. Names as last read.
    TCallerView Describe(const std::string& callerText) const;
    std::string CallerKey(const std::string& callerText) const;
    const TNumberKnowledge& Numbers() const { return *Numbers_; }

    // Gives the caller a name in the own phonebook (an empty name removes
    // it); throws with a UTF-8 message on failure. The name shows once the
    // file is read again.
    void AddName(const std::string& name, const std::string& callerText);
    const std::filesystem::path& OwnFile() const { return Own_.Path; }

private:
    struct TFile {
        std::filesystem::path Path; // empty: none
        bool Exists = false;
        std::filesystem::file_time_type Time{};
        std::uintmax_t Size = 0;
    };
    // Looks at the file; whether it changed since the last look.
    static bool Restamp(TFile& file);
    TDirectoryPlaces Places() const;

    std::string Region_;
    TFile Own_;
    TFile User_;
    std::function<void(const std::string&)> Report_;
    std::unique_ptr<TCallerDirectory> Directory_;
    std::shared_ptr<const TNumberKnowledge> Numbers_;
};

// %APPDATA%\Maruvo\Telvane\ (the roaming profile: contacts follow the user).
std::filesystem::path ConfigFolder();

} // namespace telvane::win32
