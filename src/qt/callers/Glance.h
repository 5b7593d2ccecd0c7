// The caller's name or area at a glance, in the main window: a small label
// in the free row left of the log check box, shown only when there is a
// name or an area to tell. The number label's tooltip gives the details.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

namespace telvane {

class TGlance final : public QObject {
    Q_OBJECT
public:
    // numberLabel: the window's NumberLabel; the glance label becomes a
    // child of its window.
    TGlance(QLabel* numberLabel, QObject* parent = nullptr);
    ~TGlance() override;

    // text: what to show beside the number (empty: nothing); details: the
    // number's tooltip.
    void Show(const QString& text, const QString& details);
    QLabel* Label() const { return Glance_; }

private:
    void Trace(const QString& text, const QString& details) const;

    QLabel* Number_;
    QPointer<QLabel> Glance_;
    QString TraceFile_;
};

} // namespace telvane
