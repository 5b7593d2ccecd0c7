#include "qt/callers/HistoryModel.h"

#include <algorithm>

namespace telvane {
namespace {

constexpr std::size_t kRowsAtOnce = 10000;

} // namespace

THistoryModel::THistoryModel(THistory& history, QObject* parent)
    : QAbstractTableModel(parent), History_(history) {
    Exposed_ = std::min(History_.Rows(), kRowsAtOnce);
    History_.SetView(this);
}

THistoryModel::~THistoryModel() {
    History_.SetView(nullptr);
}

const THistoryRow& THistoryModel::RowAt(int row) const {
    if (row != CachedRow_) {
        Cached_ = History_.Row(std::size_t(row));
        CachedRow_ = row;
    }
    return Cached_;
}

void THistoryModel::RowsReset() {
    CachedRow_ = -1;
    beginResetModel();
    Exposed_ = std::min(History_.Rows(), kRowsAtOnce);
    endResetModel();
}

void THistoryModel::RowsAdded(std::size_t count) {
    CachedRow_ = -1;
    beginInsertRows({}, 0, int(count) - 1);
    Exposed_ += count;
    endInsertRows();
}

void THistoryModel::RowsChanged() {
    CachedRow_ = -1;
    if (rowCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, hcColumns - 1));
    }
}

bool THistoryModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && Exposed_ < History_.Rows();
}

void THistoryModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) {
        return;
    }
    const std::size_t more = std::min(History_.Rows() - Exposed_, kRowsAtOnce);
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
    const THistoryRow& row = RowAt(index.row());
    if (role == Qt::ToolTipRole) {
        return row.Details.empty() ? QVariant() : QVariant(QString::fromStdString(row.Details));
    }
    switch (index.column()) {
    case hcTime:
        return QString::fromStdString(row.Time);
    case hcNumber:
        return QString::fromStdString(row.Display);
    case hcWho:
        return QString::fromStdString(row.Who);
    case hcCount:
        return qulonglong(row.Count);
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
