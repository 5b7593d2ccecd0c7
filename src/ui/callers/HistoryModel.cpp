#include "ui/callers/HistoryModel.h"

#include "ui/callers/WhoCalled.h"
#include "ui/qtcore/ShiftJisCodec.h"

#include <QElapsedTimer>

namespace telvane {

THistoryModel::THistoryModel(TWhoCalled& who, std::filesystem::path log, QObject* parent)
    : QAbstractTableModel(parent), Who_(who), Log_(std::move(log)) {
    Keying_.setInterval(0);
    connect(&Keying_, &QTimer::timeout, this, &THistoryModel::KeySome);
    // Names and areas may read differently with another phonebook.
    connect(&Who_, &TWhoCalled::Changed, this, [this] {
        Rekey();
        if (!Filter_.isEmpty()) {
            SetFilter(Filter_);
        } else if (rowCount() > 0) {
            emit dataChanged(index(0, 0), index(rowCount() - 1, hcColumns - 1));
        }
    });
}

void THistoryModel::Forget() {
    Offset_ = 0;
    Skipped_ = 0;
    Calls_.clear();
    Callers_.clear();
    CallerOf_.clear();
    CountOfKey_.clear();
    Unkeyed_.clear();
    Keying_.stop();
    Shown_.clear();
}

void THistoryModel::Rekey() {
    // Another region reads numbers differently.
    CountOfKey_.clear();
    Unkeyed_.clear();
    for (std::size_t i = 0; i < Callers_.size(); ++i) {
        Callers_[i].Described = false;
        Callers_[i].Keyed = false;
        Unkeyed_.push_back(int(i));
    }
    Keying_.start();
}

void THistoryModel::KeySome() {
    QElapsedTimer slice;
    slice.start();
    while (!Unkeyed_.empty() && slice.elapsed() < 20) {
        TCaller& caller = Callers_[std::size_t(Unkeyed_.back())];
        Unkeyed_.pop_back();
        caller.Key = Who_.MatchKey(caller.Number);
        caller.Keyed = true;
        if (!caller.Key.empty()) {
            CountOfKey_[caller.Key] += caller.Count;
        }
    }
    if (Unkeyed_.empty()) {
        Keying_.stop();
        if (rowCount() > 0) {
            emit dataChanged(index(0, hcCount), index(rowCount() - 1, hcCount));
        }
    }
}

int THistoryModel::CountOf(const TCaller& caller) const {
    if (!caller.Keyed || caller.Key.empty()) {
        return caller.Count;
    }
    const auto found = CountOfKey_.find(caller.Key);
    return found == CountOfKey_.end() ? caller.Count : found->second;
}

void THistoryModel::Refresh() {
    THistoryRead read = ReadCallHistory(Log_, Offset_);
    if (read.Restarted) {
        // Cut or replaced by someone: what was read before is gone.
        beginResetModel();
        Forget();
        endResetModel();
    }
    Offset_ = read.EndOffset;
    Skipped_ += read.Skipped;
    if (read.Calls.empty()) {
        return;
    }
    const bool first = Calls_.empty();
    if (first) {
        beginResetModel();
    }
    const int oldRows = rowCount();
    std::vector<TCall> fresh;
    fresh.reserve(read.Calls.size());
    for (TCallRecord& record : read.Calls) {
        auto [found, inserted] = CallerOf_.try_emplace(record.Number, int(Callers_.size()));
        if (inserted) {
            TCaller caller;
            caller.Number = record.Number;
            Unkeyed_.push_back(int(Callers_.size()));
            Callers_.push_back(std::move(caller));
        }
        TCaller& caller = Callers_[std::size_t(found->second)];
        ++caller.Count;
        if (caller.Keyed && !caller.Key.empty()) {
            ++CountOfKey_[caller.Key];
        }
        fresh.push_back({std::move(record.RingTime), found->second});
    }
    if (!Unkeyed_.empty()) {
        Keying_.start();
    }
    if (first) {
        Calls_ = std::move(fresh);
        if (!Filter_.isEmpty()) {
            for (int i = int(Calls_.size()) - 1; i >= 0; --i) {
                if (Matches(Calls_[std::size_t(i)])) {
                    Shown_.push_back(i);
                }
            }
        }
        endResetModel();
        return;
    }
    // New calls come on top, newest first.
    std::vector<int> shown;
    for (std::size_t i = fresh.size(); i-- > 0;) {
        if (Filter_.isEmpty() || Matches(fresh[i])) {
            shown.push_back(int(Calls_.size() + i));
        }
    }
    if (!shown.empty()) {
        beginInsertRows({}, 0, int(shown.size()) - 1);
    }
    Calls_.insert(Calls_.end(), std::make_move_iterator(fresh.begin()),
                  std::make_move_iterator(fresh.end()));
    if (!Filter_.isEmpty()) {
        Shown_.insert(Shown_.begin(), shown.begin(), shown.end());
    }
    if (!shown.empty()) {
        endInsertRows();
    }
    // The counts of earlier calls from the same numbers grew.
    if (oldRows > 0) {
        const int top = int(shown.size());
        emit dataChanged(index(top, hcCount), index(top + oldRows - 1, hcCount));
    }
}

void THistoryModel::SetFilter(const QString& text) {
    beginResetModel();
    Filter_ = text.trimmed();
    Shown_.clear();
    if (!Filter_.isEmpty()) {
        for (int i = int(Calls_.size()) - 1; i >= 0; --i) {
            if (Matches(Calls_[std::size_t(i)])) {
                Shown_.push_back(i);
            }
        }
    }
    endResetModel();
}

bool THistoryModel::Matches(const TCall& call) const {
    const TCaller& caller = Described(call.Caller);
    if (QLatin1String(call.RingTime.data(), qsizetype(call.RingTime.size()))
            .contains(Filter_, Qt::CaseInsensitive)) {
        return true;
    }
    for (const QString* field : {&caller.Display, &caller.Who, &caller.Text}) {
        if (field->contains(Filter_, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

const THistoryModel::TCaller& THistoryModel::Described(int index) const {
    TCaller& caller = Callers_[std::size_t(index)];
    if (!caller.Described) {
        const TCallerView view = Who_.Describe(caller.Number);
        caller.Text = FromShiftJis(caller.Number);
        caller.Display = view.Info.Parsed ? QString::fromStdString(view.Info.Display) : caller.Text;
        caller.Who = view.NameOrArea();
        if (caller.Who.isEmpty()) {
            caller.Who = QString::fromStdString(view.Info.Withheld);
        }
        caller.Details = view.Details();
        caller.Described = true;
    }
    return caller;
}

const THistoryModel::TCall& THistoryModel::CallAt(int row) const {
    const std::size_t call = Filter_.isEmpty() ? Calls_.size() - 1 - std::size_t(row)
                                               : std::size_t(Shown_[std::size_t(row)]);
    return Calls_[call];
}

const std::string& THistoryModel::NumberAt(int row) const {
    return Callers_[std::size_t(CallAt(row).Caller)].Number;
}

int THistoryModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    return Filter_.isEmpty() ? int(Calls_.size()) : int(Shown_.size());
}

int THistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : hcColumns;
}

QVariant THistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const TCall& call = CallAt(index.row());
    if (role == Qt::TextAlignmentRole && index.column() == hcCount) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    const TCaller& caller = Described(call.Caller);
    if (role == Qt::ToolTipRole) {
        return caller.Details.isEmpty() ? QVariant() : QVariant(caller.Details);
    }
    switch (index.column()) {
    case hcTime:
        return FromShiftJis(call.RingTime);
    case hcNumber:
        return caller.Display;
    case hcWho:
        return caller.Who;
    case hcCount:
        return CountOf(caller);
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
