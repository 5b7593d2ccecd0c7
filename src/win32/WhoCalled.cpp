#include "win32/WhoCalled.h"

#include "callers/TextDecoding.h"
#include "monitor/WideText.h"
#include "win32/UiText.h"

#include <system_error>
#include <utility>

namespace telvane::win32 {

std::string TCallerView::NameOrArea() const {
    return Name.empty() ? Info.Area : Name;
}

std::string TCallerView::Glance() const {
    if (!Name.empty() && !Info.Area.empty()) {
        return Name + " (" + Info.Area + ")";
    }
    return NameOrArea();
}

std::string TCallerView::Details() const {
    std::string lines;
    const auto add = [&lines](const std::string& line) {
        if (!line.empty()) {
            lines += (lines.empty() ? "" : "\n") + line;
        }
    };
    add(Name);
    // A text that is no number is already on show as it is.
    add(Info.Parsed ? Info.Display : std::string());
    add(Info.Kind);
    add(Info.Area);
    add(Info.Withheld);
    return lines;
}

TWhoCalled::TWhoCalled(std::filesystem::path ownFile, const TAddedSettings& settings,
                       std::function<void(const std::string&)> report)
    : Numbers_(std::make_unique<TNumberKnowledge>(settings.Region, "ja")),
      Report_(std::move(report)) {
    Own_.Path = std::move(ownFile);
    Own_.Own = true;
    SetUserPhonebook(settings.Phonebook);
}

void TWhoCalled::SetUserPhonebook(const std::string& setting) {
    User_.reset();
    if (!setting.empty()) {
        std::filesystem::path user = std::filesystem::u8path(setting);
        std::error_code error;
        if (!std::filesystem::equivalent(user, Own_.Path, error)) {
            User_ = std::make_unique<TBook>();
            User_->Path = std::move(user);
        }
    }
    Refresh();
}

TWhoCalled::~TWhoCalled() = default;

void TWhoCalled::Refresh() {
    Load(Own_, false);
    if (User_) {
        Load(*User_, false);
    }
}

void TWhoCalled::Load(TBook& book, bool force) {
    std::error_code error;
    const auto time = std::filesystem::last_write_time(book.Path, error);
    const bool exists = !error;
    const auto size = exists ? std::filesystem::file_size(book.Path, error) : 0;
    if (!force && book.Looked && book.Stamped == exists &&
        (!exists || (time == book.Time && size == book.Size))) {
        return;
    }
    book.Looked = true;
    book.Stamped = exists;
    book.Time = time;
    book.Size = size;
    std::string problem;
    if (!exists) {
        // Without its own file Telvane simply has no names yet; a file the
        // user chose should be there.
        book.Book = TPhonebook();
        if (!book.Own) {
            problem = Utf8FromWide(
                UiText(TELVANE_TRANSLATE_NOOP("telvane::TWhoCalled", "%1: ファイルがありません"),
                       book.Path.wstring()));
        }
    } else if (const auto failed = book.Book.Load(book.Path, *Numbers_)) {
        // The last good book stays in use.
        problem = failed->File + ":" + std::to_string(failed->Line) + ": " + failed->What;
    }
    if (problem != book.Problem) {
        book.Problem = problem;
        if (!problem.empty() && Report_) {
            Report_(problem);
        }
    }
}

TCallerView TWhoCalled::Describe(const std::string& callerText) const {
    TCallerView view;
    view.Info = Numbers_->Describe(callerText);
    if (view.Info.MatchKey.empty()) {
        return view;
    }
    for (const TBook* book :
         {static_cast<const TBook*>(&Own_), static_cast<const TBook*>(User_.get())}) {
        if (book != nullptr) {
            if (auto name = book->Book.NameFor(view.Info.MatchKey)) {
                view.Name = std::move(*name);
                break;
            }
        }
    }
    return view;
}

std::string TWhoCalled::CallerKey(const std::string& callerText) const {
    return Numbers_->CallerKey(callerText);
}

void TWhoCalled::AddName(const std::string& name, const std::string& callerText) {
    std::error_code error;
    std::filesystem::create_directories(Own_.Path.parent_path(), error);
    if (error) {
        throw EPhonebookError(Own_.Path.parent_path().u8string() + ": " + error.message());
    }
    AddToOwnPhonebook(Own_.Path, name, ShiftJisToUtf8(callerText));
    Load(Own_, true);
}

} // namespace telvane::win32
