#include "qt/callers/HistoryWindow.h"

#include "qt/callers/HistoryModel.h"
#include "service/History.h"
#include "service/Service.h"

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

THistoryWindow::THistoryWindow(TService& service,
                               std::function<void(QWidget*, const std::string&)> nameCaller,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), Service_(service),
      Model_(new THistoryModel(service.OpenHistory(), this)), Search_(new QLineEdit(this)),
      Table_(new QTableView(this)), Status_(new QLabel(this)) {
    setWindowTitle(tr("着信履歴 - Telvane"));
    resize(560, 420);

    Search_->setPlaceholderText(tr("検索 (時刻、番号、名前、地域)"));
    Search_->setClearButtonEnabled(true);
    connect(Search_, &QLineEdit::textChanged, this,
            [this](const QString& text) { Model_->History().SetFilter(text.toStdString()); });

    SetUpTable();
    AddActions(std::move(nameCaller));
    Status_->setWordWrap(true);
    connect(Model_, &THistoryModel::ProgressChanged, this, &THistoryWindow::ShowStatus);
    connect(Model_, &QAbstractItemModel::rowsInserted, this, &THistoryWindow::ShowStatus);
    // The newest call is the one most often named or copied.
    connect(Model_, &QAbstractItemModel::modelReset, this, [this] { Table_->selectRow(0); });
    ShowStatus();
}

void THistoryWindow::SetUpTable() {
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
}

// Naming and copying the selected call: in the table's menu, by keys and
// by the buttons beside the status.
void THistoryWindow::AddActions(std::function<void(QWidget*, const std::string&)> nameCaller) {
    auto* name = new QAction(tr("名前を付ける..."), this);
    auto* copy = new QAction(tr("番号をコピー"), this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    Table_->addAction(name);
    Table_->addAction(copy);
    connect(name, &QAction::triggered, this, [this, nameCaller = std::move(nameCaller)] {
        const std::string number = SelectedNumber();
        if (!number.empty()) {
            nameCaller(this, number);
        }
    });
    connect(copy, &QAction::triggered, this, [this] {
        const QModelIndexList rows = Table_->selectionModel()->selectedRows();
        if (!rows.isEmpty()) {
            QApplication::clipboard()->setText(QString::fromStdString(
                Model_->History().Row(std::size_t(rows.first().row())).Text));
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
}

THistoryWindow::~THistoryWindow() {
    // The table goes first, then the history's memory.
    delete Model_;
    Service_.CloseHistory();
}

void THistoryWindow::ShowStatus() {
    const THistory& history = Model_->History();
    QString text = tr("%n 件の着信", nullptr, int(history.Calls()));
    if (history.Reading()) {
        text = tr("読み込み中...");
    } else if (history.Skipped() > 0) {
        text += tr("、読めない行 %n", nullptr, int(history.Skipped()));
    }
    if (history.Searching()) {
        text += tr("、検索中...");
    }
    QStringList problems;
    for (const std::string& line : Service_.ContactsProblems()) {
        problems << QString::fromStdString(line);
    }
    const QString problem = problems.join('\n');
    Status_->setText(problem.isEmpty() ? text : text + '\n' + tr("電話帳: %1").arg(problem));
    Status_->setToolTip(problem);
}

std::string THistoryWindow::SelectedNumber() const {
    const QModelIndexList rows = Table_->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return {};
    }
    return Model_->History().NumberAt(std::size_t(rows.first().row()));
}

} // namespace telvane
