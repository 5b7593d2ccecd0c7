// The call history: the calls of the call log, newest first, with search,
// naming the caller and copying the number. Follows the log while open.
#pragma once

#include <QWidget>

#include <filesystem>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QTableView;

namespace telvane {

class TWhoCalled;
class THistoryModel;

class THistoryWindow final : public QWidget {
    Q_OBJECT
public:
    // nameCaller asks for a name for the caller text and saves it.
    THistoryWindow(TWhoCalled& who, std::filesystem::path log,
                   std::function<void(QWidget*, const std::string&)> nameCaller,
                   QWidget* parent = nullptr);

    // Reads what the log gained; called when a call was logged.
    void Refresh();
    THistoryModel& Model() { return *Model_; }
    QTableView* Table() const { return Table_; }

private:
    void ShowStatus();
    // The caller text of the selected row; empty when none is selected.
    std::string SelectedNumber() const;

    TWhoCalled& Who_;
    THistoryModel* Model_;
    QLineEdit* Search_;
    QTableView* Table_;
    QLabel* Status_;
};

} // namespace telvane
