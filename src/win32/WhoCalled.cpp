#include "win32/WhoCalled.h"

#include "callers/TextDecoding.h"
#include "monitor/WideText.h"
#include "win32/UiText.h"

#include <system_error>
#include <utility>

namespace telvane::win32 {

namespace {

// The chosen file, or none when the setting is empty or names the own file.
std::filesystem::path UserPath(const std::string& setting, const std::filesystem::path& own) {
    if (setting.empty()) {
        return {};
    }
    std::filesystem::path user = std::filesystem::u8path(setting);
    std::error_code error;
    return std::filesystem::equivalent(user, own, error) ? std::filesystem::path() : user;
}

} // namespace

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
                       std::function<void(const std::string&)> report, std::function<void()> loaded)
    : Region_(settings.Region), Report_(std::move(report)) {
    Own_.Path = std::move(ownFile);
    Restamp(Own_);
    User_.Path = UserPath(settings.Phonebook, Own_.Path);
    Restamp(User_);
    Directory_ = std::make_unique<TCallerDirectory>(Places(), std::move(loaded));
    // The region never changes while the shell runs: nor do these.
    Numbers_ = Directory_->Snapshot()->Numbers;
}

TWhoCalled::~TWhoCalled() = default;

TDirectoryPlaces TWhoCalled::Places() const {
    TDirectoryPlaces places;
    places.Region = Region_;
    places.OwnFile = Own_.Path;
    places.UserFile = User_.Path;
    return places;
}

bool TWhoCalled::Restamp(TFile& file) {
    if (file.Path.empty()) {
        return false;
    }
    std::error_code error;
    const auto time = std::filesystem::last_write_time(file.Path, error);
    const bool exists = !error;
    const auto size = exists ? std::filesystem::file_size(file.Path, error) : 0;
    const bool changed =
        exists != file.Exists || (exists && (time != file.Time || size != file.Size));
    file.Exists = exists;
    file.Time = time;
    file.Size = size;
    return changed;
}

void TWhoCalled::SetUserPhonebook(const std::string& setting) {
    User_ = TFile{};
    User_.Path = UserPath(setting, Own_.Path);
    Restamp(User_);
    Directory_->Load(Places());
}

void TWhoCalled::Refresh() {
    // Both looked at: each stamp must follow its file.
    const bool ownChanged = Restamp(Own_);
    if (Restamp(User_) || ownChanged) {
        Directory_->Reload();
    }
    if (!Report_) {
        return;
    }
    for (const TBookProblem& problem : Directory_->TakeNewProblems()) {
        Report_(problem.Missing
                    ? Utf8FromWide(UiText(
                          TELVANE_TRANSLATE_NOOP("telvane::TWhoCalled", "%1: ファイルがありません"),
                          WideFromUtf8(problem.Error.File)))
                    : problem.Error.File + ":" + std::to_string(problem.Error.Line) + ": " +
                          problem.Error.What);
    }
}

TCallerView TWhoCalled::Describe(const std::string& callerText) const {
    TCallerFacts facts = Directory_->Describe(callerText);
    TCallerView view;
    view.Info = std::move(facts.Info);
    view.Name = std::move(facts.Name);
    return view;
}

std::string TWhoCalled::CallerKey(const std::string& callerText) const {
    return Directory_->MatchKey(callerText);
}

void TWhoCalled::AddName(const std::string& name, const std::string& callerText) {
    std::error_code error;
    std::filesystem::create_directories(Own_.Path.parent_path(), error);
    if (error) {
        throw EPhonebookError(Own_.Path.parent_path().u8string() + ": " + error.message());
    }
    Directory_->AddName(name, ShiftJisToUtf8(callerText));
    // Read again already: the next look need not ask once more.
    Restamp(Own_);
}

} // namespace telvane::win32
