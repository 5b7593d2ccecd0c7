#include "monitor/sim/RecordingView.h"

#include "monitor/Texts.h"

namespace telvane::sim {

TRecordingView::TRecordingView() : Interval(std::string(" 5") + texts::kUnitMinutes) {}

void TRecordingView::SetStatusCaption(const std::string& text) {
    Status = text;
    StatusHistory.push_back(text);
    if (OnStatus) {
        OnStatus(text);
    }
}

void TRecordingView::ShowMessage(const std::string& text) {
    Messages.push_back(text);
    if (WhileModal) {
        WhileModal(text);
    }
}

void TRecordingView::ShowError(const std::string& text) {
    Errors.push_back(text);
    if (WhileModal) {
        WhileModal(text);
    }
}

void TRecordingView::MinimizeApplication() {
    if (Minimized) {
        return;
    }
    Minimized = true;
    if (Minimized_) {
        Minimized_();
    }
}

void TRecordingView::RestoreApplication() {
    if (!Minimized) {
        return;
    }
    Minimized = false;
    if (Restored_) {
        Restored_();
    }
}

void TRecordingView::SetStandbyHandlers(std::function<void()> minimized,
                                        std::function<void()> restored) {
    Minimized_ = std::move(minimized);
    Restored_ = std::move(restored);
}

} // namespace telvane::sim
