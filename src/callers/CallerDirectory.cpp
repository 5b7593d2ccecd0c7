#include "callers/CallerDirectory.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <utility>

namespace telvane {
namespace {

std::optional<TPhonebookError> ReadFromFile(TPhonebook& book, const std::filesystem::path& file,
                                            const TNumberKnowledge& numbers,
                                            const std::atomic<bool>& stop) {
    return book.Load(file, numbers, &stop);
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) {
        return true;
    }
    const auto absoluteA = std::filesystem::absolute(a, error).lexically_normal();
    const auto absoluteB = std::filesystem::absolute(b, error).lexically_normal();
    return absoluteA == absoluteB;
}

} // namespace

TCallerDirectory::TCallerDirectory(TDirectoryPlaces places, std::function<void()> loaded,
                                   TReadBook read)
    : Loaded_(std::move(loaded)), Read_(read ? std::move(read) : ReadFromFile), Places_(places),
      Waiting_(places) {
    // Numbers are read at once; names come with the first load.
    auto first = std::make_shared<TDirectorySnapshot>();
    first->Places = places;
    first->Numbers = std::make_shared<const TNumberKnowledge>(places.Region, places.Language);
    first->Own = std::make_shared<const TPhonebook>();
    Current_ = std::move(first);
    Worker_ = std::thread([this] { Work(); });
}

TCallerDirectory::~TCallerDirectory() {
    {
        const std::lock_guard<std::mutex> lock(Mutex_);
        Stop_ = true;
    }
    Wake_.notify_all();
    Worker_.join();
}

void TCallerDirectory::Load(TDirectoryPlaces places) {
    {
        const std::lock_guard<std::mutex> lock(Mutex_);
        Places_ = places;
        Waiting_ = std::move(places);
    }
    Wake_.notify_all();
}

void TCallerDirectory::Reload() {
    Load(Places());
}

TDirectoryPlaces TCallerDirectory::Places() const {
    const std::lock_guard<std::mutex> lock(Mutex_);
    return Places_;
}

std::shared_ptr<const TDirectorySnapshot> TCallerDirectory::Snapshot() const {
    const std::lock_guard<std::mutex> lock(Mutex_);
    return Current_;
}

TCallerFacts TCallerDirectory::Describe(const std::string& callerText) const {
    const std::shared_ptr<const TDirectorySnapshot> snapshot = Snapshot();
    TCallerFacts facts;
    facts.Info = snapshot->Numbers->Describe(callerText);
    if (facts.Info.MatchKey.empty()) {
        return facts;
    }
    // A name given from the window wins over the user's contacts.
    for (const TPhonebook* book : {snapshot->Own.get(), snapshot->User.get()}) {
        if (book != nullptr) {
            if (auto name = book->NameFor(facts.Info.MatchKey)) {
                facts.Name = std::move(*name);
                break;
            }
        }
    }
    return facts;
}

std::string TCallerDirectory::MatchKey(const std::string& callerText) const {
    return Snapshot()->Numbers->CallerKey(callerText);
}

std::vector<TBookProblem> TCallerDirectory::TakeNewProblems() {
    const std::lock_guard<std::mutex> lock(Mutex_);
    std::vector<TBookProblem> fresh;
    for (const TBookProblem& problem : Current_->Problems) {
        if (std::find(Told_.begin(), Told_.end(), problem) == Told_.end()) {
            fresh.push_back(problem);
        }
    }
    Told_ = Current_->Problems;
    return fresh;
}

void TCallerDirectory::AddName(const std::string& name, const std::string& number) {
    AddToOwnPhonebook(Places().OwnFile, name, number);
    Reload();
}

void TCallerDirectory::Work() {
    std::unique_lock<std::mutex> lock(Mutex_);
    for (;;) {
        Wake_.wait(lock, [this] { return Stop_ || Waiting_.has_value(); });
        if (Stop_) {
            return;
        }
        const TDirectoryPlaces places = std::move(*Waiting_);
        Waiting_.reset();
        const std::shared_ptr<const TDirectorySnapshot> before = Current_;
        lock.unlock();
        std::shared_ptr<const TDirectorySnapshot> next = Build(places, *before);
        lock.lock();
        if (Stop_) {
            return;
        }
        Current_ = std::move(next);
        lock.unlock();
        if (Loaded_) {
            Loaded_();
        }
        lock.lock();
    }
}

std::shared_ptr<const TDirectorySnapshot>
TCallerDirectory::Build(const TDirectoryPlaces& places, const TDirectorySnapshot& before) {
    auto next = std::make_shared<TDirectorySnapshot>();
    next->Places = places;
    next->Loaded = true;
    // Keys depend on the region: a book read for another one is no last good
    // book.
    const bool sameNumbers =
        before.Numbers->Region() == places.Region && before.Numbers->Language() == places.Language;
    next->Numbers = sameNumbers
                        ? before.Numbers
                        : std::make_shared<const TNumberKnowledge>(places.Region, places.Language);
    next->Own =
        ReadBook(places.OwnFile, true,
                 sameNumbers && places.OwnFile == before.Places.OwnFile ? before.Own : nullptr,
                 *next->Numbers, *next);
    if (!places.UserFile.empty() && !SameFile(places.UserFile, places.OwnFile)) {
        next->User = ReadBook(places.UserFile, false,
                              sameNumbers && places.UserFile == before.Places.UserFile ? before.User
                                                                                       : nullptr,
                              *next->Numbers, *next);
    }
    return next;
}

std::shared_ptr<const TPhonebook>
TCallerDirectory::ReadBook(const std::filesystem::path& file, bool own,
                           std::shared_ptr<const TPhonebook> lastGood,
                           const TNumberKnowledge& numbers, TDirectorySnapshot& next) {
    std::error_code error;
    if (Stop_) {
        return nullptr;
    }
    if (!std::filesystem::exists(file, error)) {
        if (!own) {
            next.Problems.push_back({{file.u8string(), 0, {}}, true});
        }
        return std::make_shared<const TPhonebook>();
    }
    auto book = std::make_shared<TPhonebook>();
    std::optional<TPhonebookError> failed;
    try {
        failed = Read_(*book, file, numbers, Stop_);
    } catch (const std::exception& exception) {
        // Out of memory for a file within the limits, say.
        failed = TPhonebookError{file.u8string(), 0, exception.what()};
    }
    if (failed) {
        next.Problems.push_back({std::move(*failed), false});
        return lastGood ? std::move(lastGood) : std::make_shared<const TPhonebook>();
    }
    if (book->SkippedCount() > 0) {
        next.Skips.push_back({file.u8string(), book->Warnings(), book->SkippedCount()});
    }
    return book;
}

} // namespace telvane
