#include "monitor/ReplyReader.h"

#include <utility>

namespace telvane {

TReplyReader::TReplyReader(TSnapshot& current, std::function<void()> onEndLine)
    : Current_(current), OnEndLine_(std::move(onEndLine)) {}

void TReplyReader::AddChar(char byte) {
    switch (byte) {
    case '\r':
        AddLine(LineBuffer_);
        LineBuffer_.clear();
        break;
    case '\n':
        break;
    default:
        if (LineBuffer_.size() < kMaxLineLength) {
            LineBuffer_.push_back(byte);
        }
        break;
    }
}

void TReplyReader::AddLine(const std::string& line) {
    for (const auto prefix : IdentityPrefixes) {
        if (BeginsWith(line, prefix)) {
            Current_[0] = line;
        }
    }
    for (std::size_t slot = 1; slot < kSlotCount; ++slot) {
        if (BeginsWith(line, WatchKeys[slot])) {
            Current_[slot] = line;
        }
    }
    bool endLine = false;
    for (const auto prefix : EndPrefixes) {
        endLine = endLine || BeginsWith(line, prefix);
    }
    if (endLine && OnEndLine_) {
        OnEndLine_();
    }
}

} // namespace telvane
