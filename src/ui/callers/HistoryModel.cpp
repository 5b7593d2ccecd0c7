#include "ui/callers/HistoryModel.h"

#include "callers/FreedMemory.h"
#include "callers/NumberKnowledge.h"
#include "ui/callers/WhoCalled.h"
#include "ui/qtcore/ShiftJisCodec.h"

#include <QElapsedTimer>

#include <algorithm>

namespace telvane {
namespace {

// Small batches: closing the window waits for the one under way.
constexpr std::size_t kKeysAtOnce = 250;
constexpr std::size_t kRowsAtOnce = 10000;
// Callers described for the rows on show; a long log has many more.
constexpr std::size_t kDescribedKept = 4096;
// How long the window's thread searches before it lets other work run.
constexpr qint64 kSliceMs = 8;
// The longest ring time: "yyyy/mm/dd hh:nn:ss".
constexpr qsizetype kTimeLength = 19;

} // namespace

// What the worker thread keeps for itself.
struct THistoryModel::TWorker {
    explicit TWorker(std::filesystem::path log) : Reader(std::move(log)) {}
    TCallLogReader Reader;
    std::string Region;
    std::unique_ptr<TNumberKnowledge> Numbers;
};

// A search under way: names and areas are matched on the window's thread
// (the phonebooks live there), a slice at a time; times are looked for in
// the log on the worker; then the calls are gone through, newest first.
struct THistoryModel::TSearch {
    QString Text;
    int Round = 0;
    std::size_t Calls = 0;   // the calls searched; later ones are matched at the end
    std::size_t Callers = 0; // the callers of those calls
    std::vector<char> CallerMatches;
    bool TimesDone = false;
    std::vector<bool> TimeMatches;    // per call; empty when no time can match
    std::size_t NextCall = 0;         // going down from Calls
    std::vector<std::uint32_t> Found; // newest first
};

THistoryModel::THistoryModel(TWhoCalled& who, std::filesystem::path log, QObject* parent)
    : QAbstractTableModel(parent), Who_(who), Log_(std::move(log)),
      Index_(std::make_unique<TCallLogIndex>(Log_)), WorkerContext_(new QObject),
      Worker_(std::make_unique<TWorker>(Log_)) {
    WorkerContext_->moveToThread(&Thread_);
    Thread_.setObjectName(QStringLiteral("history"));
    Thread_.start(QThread::LowPriority);
    Searching_.setInterval(0);
    connect(&Searching_, &QTimer::timeout, this, &THistoryModel::SearchSome);
    // Names, areas and keys may read differently with another phonebook or
    // region.
    connect(&Who_, &TWhoCalled::Changed, this, [this] {
        ++KeyRound_;
        KeyingBatch_ = false;
        Index_->ForgetKeys();
        Described_.clear();
        KeyMore();
        if (!Filter_.isEmpty()) {
            StartSearch();
        }
        if (rowCount() > 0) {
            emit dataChanged(index(0, 0), index(rowCount() - 1, hcColumns - 1));
        }
    });
}

THistoryModel::~THistoryModel() {
    ++SearchRound_;
    Thread_.quit();
    Thread_.wait();
    delete WorkerContext_;
    Worker_.reset();
    Index_.reset();
    Shown_ = {};
    Search_.reset();
    Described_.clear();
    // Once the view holding the rows is gone too.
    QTimer::singleShot(0, &ReturnFreedMemory);
}

void THistoryModel::Refresh() {
    if (ReadingPiece_) {
        ReadAgain_ = true;
        return;
    }
    ReadMore();
}

void THistoryModel::ReadMore() {
    ReadingPiece_ = true;
    TWorker* worker = Worker_.get();
    QMetaObject::invokeMethod(
        WorkerContext_,
        [this, worker] {
            auto piece = std::make_shared<const TCallLogPiece>(worker->Reader.Read());
            QMetaObject::invokeMethod(
                this, [this, piece] { TakePiece(*piece); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void THistoryModel::TakePiece(const TCallLogPiece& piece) {
    ReadingPiece_ = false;
    if (piece.Restarted) {
        // Cut or replaced by someone: what was read before is gone.
        beginResetModel();
        Rows_ = Exposed_ = 0;
        Shown_ = {};
        ShownFilter_.clear();
        Described_.clear();
        ++KeyRound_;
        KeyingBatch_ = false;
        Loading_ = true;
        endResetModel();
        if (Search_) {
            StartSearch();
        }
        emit Progress();
    }
    Index_->Add(piece);
    if (piece.More) {
        ReadMore();
    } else if (Loading_) {
        // The whole log shows at once, not a screenful at a time.
        beginResetModel();
        Loading_ = false;
        Rows_ = Index_->Calls();
        ExposeFirst();
        endResetModel();
        if (!Filter_.isEmpty()) {
            StartSearch();
        }
        emit Progress();
        // What reading took and gave back meanwhile.
        ReturnFreedMemory();
    }
    if (!piece.More && ReadAgain_) {
        ReadAgain_ = false;
        ReadMore();
    }
    KeyMore();
    if (Loading_ || Rows_ == Index_->Calls()) {
        return;
    }
    // New calls come on top, newest first.
    const std::size_t oldRows = std::size_t(rowCount());
    std::vector<std::uint32_t> shown;
    for (std::size_t call = Index_->Calls(); call-- > Rows_;) {
        if (ShownFilter_.isEmpty() || Matches(call, ShownFilter_)) {
            shown.push_back(std::uint32_t(call));
        }
    }
    if (!shown.empty()) {
        beginInsertRows({}, 0, int(shown.size()) - 1);
    }
    Rows_ = Index_->Calls();
    Exposed_ += shown.size();
    if (!ShownFilter_.isEmpty()) {
        Shown_.insert(Shown_.begin(), shown.begin(), shown.end());
    }
    if (!shown.empty()) {
        endInsertRows();
    }
    // The counts of earlier calls from the same numbers grew.
    if (oldRows > 0) {
        const int top = int(shown.size());
        emit dataChanged(index(top, hcCount), index(top + int(oldRows) - 1, hcCount));
    }
}

void THistoryModel::KeyMore() {
    if (KeyingBatch_ || Loading_ || Index_->Keyed() == Index_->Callers()) {
        return;
    }
    KeyingBatch_ = true;
    const std::size_t first = Index_->Keyed();
    auto texts = std::make_shared<std::vector<std::string>>();
    for (std::size_t caller = first; caller < std::min(Index_->Callers(), first + kKeysAtOnce);
         ++caller) {
        texts->push_back(Index_->Text(std::uint32_t(caller)));
    }
    TWorker* worker = Worker_.get();
    const int round = KeyRound_;
    QMetaObject::invokeMethod(
        WorkerContext_,
        [this, worker, texts, round, first, region = Who_.Settings().Region] {
            if (!worker->Numbers || worker->Region != region) {
                // Keys do not depend on the language, only on the region.
                worker->Numbers = std::make_unique<TNumberKnowledge>(region, "ja");
                worker->Region = region;
            }
            auto keys = std::make_shared<std::vector<std::string>>();
            for (const std::string& text : *texts) {
                keys->push_back(worker->Numbers->CallerKey(text));
            }
            QMetaObject::invokeMethod(
                this,
                [this, keys, round, first] {
                    if (round != KeyRound_) {
                        return;
                    }
                    KeyingBatch_ = false;
                    if (first == Index_->Keyed()) {
                        Index_->AddKeys(*keys);
                    }
                    if (Index_->Keyed() == Index_->Callers()) {
                        CountsChanged();
                    }
                    KeyMore();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void THistoryModel::CountsChanged() {
    if (rowCount() > 0) {
        emit dataChanged(index(0, hcCount), index(rowCount() - 1, hcCount));
    }
}

void THistoryModel::SetFilter(const QString& text) {
    Filter_ = text.trimmed();
    if (!Filter_.isEmpty()) {
        StartSearch();
        return;
    }
    ++SearchRound_;
    Search_.reset();
    Searching_.stop();
    if (!ShownFilter_.isEmpty()) {
        beginResetModel();
        ShownFilter_.clear();
        Shown_ = {};
        ExposeFirst();
        endResetModel();
    }
    emit Progress();
}

void THistoryModel::StartSearch() {
    const int round = ++SearchRound_;
    Searching_.stop();
    Search_ = std::make_unique<TSearch>();
    TSearch& search = *Search_;
    search.Text = Filter_;
    search.Round = round;
    emit Progress();
    if (Loading_) {
        return; // goes on once the log is read
    }
    search.Calls = search.NextCall = Index_->Calls();
    search.Callers = Index_->Callers();
    search.CallerMatches.reserve(search.Callers);
    // Times are ASCII digits and punctuation.
    const bool mayBeTime =
        Filter_.size() <= kTimeLength &&
        std::all_of(Filter_.begin(), Filter_.end(), [](QChar c) { return c.unicode() < 0x80; });
    search.TimesDone = !mayBeTime;
    if (mayBeTime) {
        QMetaObject::invokeMethod(
            WorkerContext_,
            [this, round, log = Log_, text = Filter_.toStdString(), end = Index_->EndOffset()] {
                auto found = std::make_shared<std::vector<bool>>(
                    CallsAtTimes(log, text, end, [this, round] { return SearchRound_ != round; }));
                QMetaObject::invokeMethod(
                    this,
                    [this, round, found] {
                        if (Search_ && Search_->Round == round) {
                            Search_->TimeMatches = std::move(*found);
                            Search_->TimesDone = true;
                            Searching_.start();
                        }
                    },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    }
    Searching_.start();
}

void THistoryModel::SearchSome() {
    QElapsedTimer slice;
    slice.start();
    TSearch& search = *Search_;
    while (search.CallerMatches.size() < search.Callers) {
        search.CallerMatches.push_back(
            CallerMatches(std::uint32_t(search.CallerMatches.size()), search.Text));
        if (slice.elapsed() >= kSliceMs) {
            return;
        }
    }
    if (!search.TimesDone) {
        Searching_.stop(); // until the worker found the times
        return;
    }
    const std::vector<bool>& times = search.TimeMatches;
    while (search.NextCall > 0) {
        const std::size_t call = --search.NextCall;
        if (search.CallerMatches[Index_->CallerOf(call)] != 0 ||
            (call < times.size() && times[call])) {
            search.Found.push_back(std::uint32_t(call));
        }
        if (call % 65536 == 0 && slice.elapsed() >= kSliceMs) {
            return;
        }
    }
    EndSearch();
}

void THistoryModel::EndSearch() {
    Searching_.stop();
    TSearch& search = *Search_;
    // Calls logged since the search began.
    std::vector<std::uint32_t> found;
    for (std::size_t call = Index_->Calls(); call-- > search.Calls;) {
        if (Matches(call, search.Text)) {
            found.push_back(std::uint32_t(call));
        }
    }
    found.insert(found.end(), search.Found.begin(), search.Found.end());
    beginResetModel();
    Shown_ = std::move(found);
    ShownFilter_ = search.Text;
    Search_.reset();
    ExposeFirst();
    endResetModel();
    emit Progress();
}

THistoryModel::TDescribed THistoryModel::Describe(std::uint32_t caller) const {
    const std::string& number = Index_->Text(caller);
    const TCallerView view = Who_.Describe(number);
    TDescribed described;
    described.Text = FromShiftJis(number);
    described.Display =
        view.Info.Parsed ? QString::fromStdString(view.Info.Display) : described.Text;
    described.Who = view.NameOrArea();
    if (described.Who.isEmpty()) {
        described.Who = QString::fromStdString(view.Info.Withheld);
    }
    described.Details = view.Details();
    return described;
}

const THistoryModel::TDescribed& THistoryModel::Described(std::uint32_t caller) const {
    auto found = Described_.find(caller);
    if (found == Described_.end()) {
        if (Described_.size() >= kDescribedKept) {
            Described_.clear();
        }
        found = Described_.emplace(caller, Describe(caller)).first;
    }
    return found->second;
}

bool THistoryModel::CallerMatches(std::uint32_t caller, const QString& text) const {
    // A search goes through every caller: only those on show are kept.
    const auto found = Described_.find(caller);
    const TDescribed described = found != Described_.end() ? found->second : Describe(caller);
    for (const QString* field : {&described.Display, &described.Who, &described.Text}) {
        if (field->contains(text, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

bool THistoryModel::Matches(std::size_t call, const QString& text) const {
    if (CallerMatches(Index_->CallerOf(call), text)) {
        return true;
    }
    const auto record = Index_->Call(call);
    return record && QLatin1String(record->RingTime.data(), qsizetype(record->RingTime.size()))
                         .contains(text, Qt::CaseInsensitive);
}

std::size_t THistoryModel::CallAt(int row) const {
    return ShownFilter_.isEmpty() ? Rows_ - 1 - std::size_t(row) : Shown_[std::size_t(row)];
}

const std::string& THistoryModel::NumberAt(int row) const {
    return Index_->Text(Index_->CallerOf(CallAt(row)));
}

std::size_t THistoryModel::Available() const {
    return ShownFilter_.isEmpty() ? Rows_ : Shown_.size();
}

void THistoryModel::ExposeFirst() {
    Exposed_ = std::min(Available(), kRowsAtOnce);
}

bool THistoryModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && Exposed_ < Available();
}

void THistoryModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) {
        return;
    }
    const std::size_t more = std::min(Available() - Exposed_, kRowsAtOnce);
    beginInsertRows({}, int(Exposed_), int(Exposed_ + more) - 1);
    Exposed_ += more;
    endInsertRows();
}

int THistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(Exposed_);
}

int THistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : hcColumns;
}

QVariant THistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    if (role == Qt::TextAlignmentRole && index.column() == hcCount) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    const std::size_t call = CallAt(index.row());
    const std::uint32_t caller = Index_->CallerOf(call);
    const TDescribed& described = Described(caller);
    if (role == Qt::ToolTipRole) {
        return described.Details.isEmpty() ? QVariant() : QVariant(described.Details);
    }
    switch (index.column()) {
    case hcTime: {
        // Read from the log: a file replaced since shows no time until the
        // next refresh reads it anew.
        const auto record = Index_->Call(call);
        return record ? FromShiftJis(record->RingTime) : QString();
    }
    case hcNumber:
        return described.Display;
    case hcWho:
        return described.Who;
    case hcCount:
        return qulonglong(Index_->CountOf(caller));
    default:
        return {};
    }
}

QVariant THistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
    case hcTime:
        return tr("着信時刻");
    case hcNumber:
        return tr("番号");
    case hcWho:
        return tr("名前・地域");
    case hcCount:
        return tr("回数");
    default:
        return {};
    }
}

} // namespace telvane
