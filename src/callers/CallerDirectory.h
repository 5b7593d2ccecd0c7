// Who called, for any thread: the number knowledge of a region and the names
// in Telvane's own phonebook and in the user's contacts file. The files are
// read on a worker thread of the directory's own, so that loading never
// delays a poll or a click; each load is published whole, as a snapshot that
// never changes, and lookups take the one in place without waiting.
#pragma once

#include "callers/NumberKnowledge.h"
#include "callers/Phonebook.h"

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace telvane {

// What to read, and how numbers are read.
struct TDirectoryPlaces {
    std::string Region = "JP";   // ISO 3166, for numbers without a country code
    std::string Language = "ja"; // "ja" or "en": areas, kinds and messages
    std::filesystem::path OwnFile;
    std::filesystem::path UserFile; // empty, or the own file: the own file only
};

// What is wrong with one contacts file.
struct TBookProblem {
    TPhonebookError Error;
    // A chosen file that is not there (Error.What is then empty: the shell
    // says it in its own words). A missing own file is no problem: it only
    // means no names were given yet.
    bool Missing = false;

    bool operator==(const TBookProblem& other) const {
        return Missing == other.Missing && Error.File == other.Error.File &&
               Error.Line == other.Error.Line && Error.What == other.Error.What;
    }
};

// The cards or lines a book in use skipped.
struct TBookSkips {
    std::string File;                   // UTF-8 path
    std::vector<TPhonebookError> First; // the first kMaxPhonebookWarnings
    std::size_t Count = 0;              // how many in all
};

struct TDirectorySnapshot {
    TDirectoryPlaces Places;
    std::shared_ptr<const TNumberKnowledge> Numbers;
    std::shared_ptr<const TPhonebook> Own;  // never null
    std::shared_ptr<const TPhonebook> User; // null: the own file only
    std::vector<TBookProblem> Problems;
    // Of the books read this time; none for a last good book kept.
    std::vector<TBookSkips> Skips;
    bool Loaded = false; // false until the first load is in
};

struct TCallerFacts {
    TNumberInfo Info;
    std::string Name; // UTF-8; empty when neither book knows the number
};

class TCallerDirectory {
public:
    // How a book is read: TPhonebook::Load unless a test holds it up.
    using TReadBook = std::function<std::optional<TPhonebookError>(
        TPhonebook& book, const std::filesystem::path& file, const TNumberKnowledge& numbers,
        const std::atomic<bool>& stop)>;

    // Starts reading places at once. loaded is called on the worker thread
    // after each new snapshot is in; the shell passes it on to its own.
    TCallerDirectory(TDirectoryPlaces places, std::function<void()> loaded, TReadBook read = {});
    // Stops a load under way and waits for the worker, which ends soon.
    ~TCallerDirectory();
    TCallerDirectory(const TCallerDirectory&) = delete;
    TCallerDirectory& operator=(const TCallerDirectory&) = delete;

    // Reads places (new settings) in the background; a load asked for
    // earlier and not yet begun is dropped. Returns at once.
    void Load(TDirectoryPlaces places);
    // Reads the places asked for last again (a file changed).
    void Reload();
    TDirectoryPlaces Places() const;

    // The last load's outcome (the last good book of a file that broke).
    std::shared_ptr<const TDirectorySnapshot> Snapshot() const;
    // callerText: Shift_JIS, as the monitor holds it. Never waits for a load.
    TCallerFacts Describe(const std::string& callerText) const;
    // The key a caller text matches others by; empty when it holds no number.
    std::string MatchKey(const std::string& callerText) const;

    // The problems of the snapshot in place that were not taken before, so
    // that each fault is told once.
    std::vector<TBookProblem> TakeNewProblems();

    // Gives number a name in the own phonebook on the calling thread (it is
    // a small file), then reads the books again. name and number: UTF-8.
    // Throws EPhonebookError.
    void AddName(const std::string& name, const std::string& number);

private:
    void Work();
    std::shared_ptr<const TDirectorySnapshot> Build(const TDirectoryPlaces& places,
                                                    const TDirectorySnapshot& before);
    // Adds what is wrong with the file to next's problems and skips.
    std::shared_ptr<const TPhonebook> ReadBook(const std::filesystem::path& file, bool own,
                                               std::shared_ptr<const TPhonebook> lastGood,
                                               const TNumberKnowledge& numbers,
                                               TDirectorySnapshot& next);

    const std::function<void()> Loaded_;
    const TReadBook Read_;
    mutable std::mutex Mutex_;
    std::condition_variable Wake_;
    TDirectoryPlaces Places_;
    std::optional<TDirectoryPlaces> Waiting_;
    std::shared_ptr<const TDirectorySnapshot> Current_;
    std::vector<TBookProblem> Told_;
    std::atomic<bool> Stop_{false};
    std::thread Worker_; // last: starts once the rest is in place
};

} // namespace telvane
