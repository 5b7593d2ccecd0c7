#include "ui/callers/CallerGlance.h"

#include "ui/callers/WhoCalled.h"
#include "ui/qtcore/ShiftJisCodec.h"

#include <QFile>
#include <QFontMetrics>
#include <QLabel>

namespace telvane {

namespace {
// Row 56..73 left of LogRingFlag (x 184) and below TimeLabel is free.
const QRect kGlanceArea(16, 58, 162, 14);
} // namespace

TCallerGlance::TCallerGlance(TWhoCalled& who, QLabel* numberLabel,
                             std::function<std::string()> callerNumber, QObject* parent)
    : QObject(parent), Who_(who), Number_(numberLabel),
      Glance_(new QLabel(numberLabel->parentWidget())), CallerNumber_(std::move(callerNumber)),
      TraceFile_(qEnvironmentVariable("TELVANE_GLANCE_TRACE")) {
    Glance_->setObjectName(QStringLiteral("CallerGlance"));
    Glance_->setGeometry(kGlanceArea);
    Glance_->setTextFormat(Qt::PlainText);
    Glance_->setWordWrap(false);
    Glance_->hide();
    connect(&Who_, &TWhoCalled::Changed, this, &TCallerGlance::Update);
}

TCallerGlance::~TCallerGlance() {
    delete Glance_;
}

void TCallerGlance::Update() {
    const std::string number = CallerNumber_();
    // While the label shows "?" or a missing port, the caller is not on show.
    const bool onShow = !number.empty() && Number_->text() == FromShiftJis(number);
    const TCallerView view = onShow ? Who_.Describe(number) : TCallerView{};
    const QString details = view.Details();
    Number_->setToolTip(details);
    QString text = view.NameOrArea();
    if (!view.Name.isEmpty() && !view.Info.Area.empty()) {
        text += QStringLiteral(" (%1)").arg(QString::fromStdString(view.Info.Area));
    }
    const QFontMetrics metrics(Glance_->font());
    Glance_->setText(metrics.elidedText(text, Qt::ElideRight, kGlanceArea.width()));
    Glance_->setToolTip(details);
    Glance_->setVisible(!text.isEmpty());
    Trace(!text.isEmpty(), text, details);
}

void TCallerGlance::NewCaller(const std::string&, const std::string&, const std::string&) {
    emit CallLogged();
}

void TCallerGlance::AdapterHealth(bool) {}

void TCallerGlance::Trace(bool shown, const QString& text, const QString& details) const {
    // For tests from outside the process: what the glance shows, a line per
    // update, only when asked for.
    if (TraceFile_.isEmpty()) {
        return;
    }
    QFile file(TraceFile_);
    if (file.open(QIODevice::Append | QIODevice::Text)) {
        QString line = (shown ? QStringLiteral("shown\t") : QStringLiteral("hidden\t")) + text +
                       '\t' + QString(details).replace('\n', QStringLiteral(" | ")) + '\n';
        file.write(line.toUtf8());
    }
}

} // namespace telvane
