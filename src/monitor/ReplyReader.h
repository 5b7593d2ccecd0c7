// Turns the bytes of the adapter's reply into lines and stores the watched
// ones in their slots of the current snapshot.
#pragma once

#include "monitor/Snapshot.h"

#include <cstddef>
#include <functional>
#include <string>

namespace telvane {

class TReplyReader {
public:
    // A line longer than this keeps its first kMaxLineLength bytes; the rest
    // up to the carriage return is dropped. Real adapter lines are a few dozen
    // bytes; the cap keeps a device that never sends a carriage return from
    // growing the buffer without end over months of polling.
    static constexpr std::size_t kMaxLineLength = 64 * 1024;

    // current: the snapshot that watched lines are stored in.
    // onEndLine: called for every line beginning "OK" or "ERROR".
    TReplyReader(TSnapshot& current, std::function<void()> onEndLine);

    // Adds one byte to the line being assembled; a carriage return ends the
    // line, a line feed is dropped, every other byte (zero included) belongs
    // to the line.
    void AddChar(char byte);
    // Stores a complete line in its slot if it is watched, and reports an
    // end line. Every test runs, whatever the earlier ones found.
    void AddLine(const std::string& line);

    // Forgets the bytes of an unfinished line. Called when a reply is over,
    // so that a reply cut short cannot join the next reply's first line.
    void DiscardPartialLine() { LineBuffer_.clear(); }

    // Bytes received since the last carriage return.
    const std::string& LineBuffer() const { return LineBuffer_; }

private:
    TSnapshot& Current_;
    std::function<void()> OnEndLine_;
    std::string LineBuffer_;
};

} // namespace telvane
