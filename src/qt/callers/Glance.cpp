#include "qt/callers/Glance.h"

#include <QFile>
#include <QFontMetrics>
#include <QLabel>

namespace telvane {

namespace {
// Row 56..73 left of LogRingFlag (x 184) and below TimeLabel is free.
const QRect kGlanceArea(16, 58, 162, 14);
} // namespace

TGlance::TGlance(QLabel* numberLabel, QObject* parent)
    : QObject(parent), Number_(numberLabel), Glance_(new QLabel(numberLabel->parentWidget())),
      TraceFile_(qEnvironmentVariable("TELVANE_GLANCE_TRACE")) {
    Glance_->setObjectName(QStringLiteral("CallerGlance"));
    Glance_->setGeometry(kGlanceArea);
    Glance_->setTextFormat(Qt::PlainText);
    Glance_->setWordWrap(false);
    Glance_->hide();
}

TGlance::~TGlance() {
    delete Glance_;
}

void TGlance::Show(const QString& text, const QString& details) {
    Number_->setToolTip(details);
    const QFontMetrics metrics(Glance_->font());
    Glance_->setText(metrics.elidedText(text, Qt::ElideRight, kGlanceArea.width()));
    Glance_->setToolTip(details);
    Glance_->setVisible(!text.isEmpty());
    Trace(text, details);
}

void TGlance::Trace(const QString& text, const QString& details) const {
    // For tests from outside the process: what the glance shows, a line per
    // update, only when asked for.
    if (TraceFile_.isEmpty()) {
        return;
    }
    QFile file(TraceFile_);
    if (file.open(QIODevice::Append | QIODevice::Text)) {
        QString line = (text.isEmpty() ? QStringLiteral("hidden\t") : QStringLiteral("shown\t")) +
                       text + '\t' + QString(details).replace('\n', QStringLiteral(" | ")) + '\n';
        file.write(line.toUtf8());
    }
}

} // namespace telvane
