#include "ui/callers/HistoryWindow.h"

#include "ui/callers/HistoryModel.h"
#include "ui/callers/WhoCalled.h"
#include "ui/qtcore/ShiftJisCodec.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace telvane {

THistoryWindow::THistoryWindow(TWhoCalled& who, std::filesystem::path log,
                               std::function<void(QWidget*, const std::string&)> nameCaller,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), Who_(who), Model_(new THistoryModel(who, std::move(log), this)),
      Search_(new QLineEdit(this)), Table_(new QTableView(this)), Status_(new QLabel(this)) {
    setWindowTitle(tr("着信履歴 - Telvane"));
    resize(560, 420);

    Search_->setPlaceholderText(tr("検索 (時刻、番号、名前、地域)"));
    Search_->setClearButtonEnabled(true);
    connect(Search_, &QLineEdit::textChanged, Model_, &THistoryModel::SetFilter);

    Table_->setModel(Model_);
    Table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table_->setSelectionMode(QAbstractItemView::SingleSelection);
    Table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table_->setWordWrap(false);
    Table_->verticalHeader()->hide();
    // Fixed row heights and column widths: nothing is measured row by row,
    // so a long log opens at once.
    Table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    Table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Table_->horizontalHeader()->setStretchLastSection(false);
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    Table_->setColumnWidth(THistoryModel::hcTime, digit * 21);
    Table_->setColumnWidth(THistoryModel::hcNumber, digit * 16);
    Table_->horizontalHeader()->setSectionResizeMode(THistoryModel::hcWho, QHeaderView::Stretch);
    Table_->setColumnWidth(THistoryModel::hcCount, digit * 6);
    Table_->setContextMenuPolicy(Qt::ActionsContextMenu);

    auto* name = new QAction(tr("名前を付ける..."), this);
    auto* copy = new QAction(tr("番号をコピー"), this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    Table_->addAction(name);
    Table_->addAction(copy);
    connect(name, &QAction::triggered, this, [this, nameCaller] {
        const std::string number = SelectedNumber();
        if (!number.empty()) {
            nameCaller(this, number);
        }
    });
    connect(copy, &QAction::triggered, this, [this] {
        const std::string number = SelectedNumber();
        if (!number.empty()) {
            QApplication::clipboard()->setText(FromShiftJis(number));
        }
    });
    connect(Table_, &QTableView::doubleClicked, name, &QAction::trigger);

    auto* nameButton = new QPushButton(name->text(), this);
    auto* copyButton = new QPushButton(copy->text(), this);
    connect(nameButton, &QPushButton::clicked, name, &QAction::trigger);
    connect(copyButton, &QPushButton::clicked, copy, &QAction::trigger);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Status_, 1);
    buttons->addWidget(nameButton);
    buttons->addWidget(copyButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Search_);
    layout->addWidget(Table_, 1);
    layout->addLayout(buttons);

    Status_->setWordWrap(true);
    connect(&Who_, &TWhoCalled::Changed, this, &THistoryWindow::ShowStatus);
    connect(Model_, &THistoryModel::Progress, this, &THistoryWindow::ShowStatus);
    connect(Model_, &QAbstractItemModel::rowsInserted, this, &THistoryWindow::ShowStatus);
    // The newest call is the one most often named or copied.
    connect(Model_, &QAbstractItemModel::modelReset, this, [this] { Table_->selectRow(0); });
    Refresh();
}

void THistoryWindow::Refresh() {
    Model_->Refresh();
    ShowStatus();
}

void THistoryWindow::ShowStatus() {
    QString text = tr("%n 件の着信", nullptr, int(Model_->Calls()));
    if (Model_->Reading()) {
        text = tr("読み込み中...");
    } else if (Model_->Skipped() > 0) {
        text += tr("、読めない行 %n", nullptr, int(Model_->Skipped()));
    }
    if (Model_->Searching()) {
        text += tr("、検索中...");
    }
    const QString problem = Who_.Problem();
    Status_->setText(problem.isEmpty() ? text : text + '\n' + tr("電話帳: %1").arg(problem));
    Status_->setToolTip(problem);
}

std::string THistoryWindow::SelectedNumber() const {
    const QModelIndexList rows = Table_->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return {};
    }
    return Model_->NumberAt(rows.first().row());
}

} // namespace telvane
