// The service's call history as a table, newest first: time, number, name or
// area, and how often that number called. Rows are handed to the view a
// batch at a time as it scrolls down: a view keeps a little for every row it
// knows.
#pragma once

#include "service/History.h"

#include <QAbstractTableModel>

#include <cstddef>

namespace telvane {

class THistoryModel final : public QAbstractTableModel, private IHistoryView {
    Q_OBJECT
public:
    enum EColumn { hcTime, hcNumber, hcWho, hcCount, hcColumns };

    explicit THistoryModel(THistory& history, QObject* parent = nullptr);
    ~THistoryModel() override;

    THistory& History() { return History_; }
    const THistory& History() const { return History_; }

    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    // Reading or searching began or ended.
    void ProgressChanged();

private:
    // IHistoryView.
    void RowsReset() override;
    void RowsAdded(std::size_t count) override;
    void RowsChanged() override;
    void Progress() override { emit ProgressChanged(); }
    const THistoryRow& RowAt(int row) const;

    THistory& History_;
    std::size_t Exposed_ = 0; // rows the view was given
    // The view asks for a row's columns one after another.
    mutable int CachedRow_ = -1;
    mutable THistoryRow Cached_;
};

} // namespace telvane
