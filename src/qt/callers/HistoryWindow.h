// The call history: the calls of the call log, newest first, with search,
// naming the caller and copying the number. Follows the log while open; its
// memory goes back when it closes.
#pragma once

#include <QWidget>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QTableView;

namespace telvane {

class TService;
class THistoryModel;

class THistoryWindow final : public QWidget {
    Q_OBJECT
public:
    // nameCaller asks for a name for the caller text and saves it.
    THistoryWindow(TService& service, std::function<void(QWidget*, const std::string&)> nameCaller,
                   QWidget* parent = nullptr);
    ~THistoryWindow() override;

    // The count, the progress and what is wrong with the contacts.
    void ShowStatus();
    THistoryModel& Model() { return *Model_; }
    QTableView* Table() const { return Table_; }
    QLabel* Status() const { return Status_; }

private:
    void SetUpTable();
    void AddActions(std::function<void(QWidget*, const std::string&)> nameCaller);
    // The caller text of the selected row; empty when none is selected.
    std::string SelectedNumber() const;

    TService& Service_;
    THistoryModel* Model_;
    QLineEdit* Search_;
    QTableView* Table_;
    QLabel* Status_;
};

} // namespace telvane
