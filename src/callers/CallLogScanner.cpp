#include "callers/CallLogScanner.h"

#include <algorithm>
#include <cstring>

namespace telvane {
namespace {

// Read a piece this large at a time, or less of a short file; a line that
// does not fit is no call line (those are at most about 1,040 bytes).
constexpr std::size_t kPieceBytes = std::size_t(1) << 20;
constexpr std::size_t kLeastPieceBytes = 4096;
constexpr std::size_t kMaxNumberBytes = 1000;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A time as the monitor writes it: "yyyy/mm/dd hh:nn:ss". The separators
// follow the user's settings, so any punctuation is taken in their places.
bool IsTime(std::string_view text) {
    static constexpr char kPattern[] = "dddd-dd-dd dd-dd-dd";
    if (text.size() != sizeof kPattern - 1) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (kPattern[i]) {
        case 'd':
            if (!IsDigit(c)) {
                return false;
            }
            break;
        case ' ':
            if (c != ' ') {
                return false;
            }
            break;
        default:
            if (c <= ' ' || c >= 0x7F || IsDigit(c) || c == ',') {
                return false;
            }
        }
    }
    return true;
}

bool HasControlByte(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

} // namespace

bool ParseCallLine(std::string_view line, TCallLine& call) {
    const auto firstComma = line.find(',');
    if (firstComma == std::string_view::npos) {
        return false;
    }
    const auto secondComma = line.find(',', firstComma + 1);
    if (secondComma == std::string_view::npos) {
        return false;
    }
    const std::string_view previous = line.substr(0, firstComma);
    const std::string_view ring = line.substr(firstComma + 1, secondComma - firstComma - 1);
    const std::string_view number = line.substr(secondComma + 1);
    if ((!previous.empty() && !IsTime(previous)) || !IsTime(ring) ||
        number.size() > kMaxNumberBytes || HasControlByte(number)) {
        return false;
    }
    call = {previous, ring, number};
    return true;
}

TCallLogScanner::TCallLogScanner(const std::filesystem::path& log, std::uint64_t fromOffset)
    : In_(log, std::ios::binary) {
    if (!In_) {
        Restarted_ = fromOffset > 0;
        return;
    }
    In_.seekg(0, std::ios::end);
    const std::streamoff size = In_.tellg();
    FileBytes_ = size < 0 ? 0 : static_cast<std::uint64_t>(size);
    // The text before fromOffset must still end a line, else the file is not
    // the one read before.
    if (fromOffset > 0) {
        char before = 0;
        if (fromOffset > FileBytes_ || !In_.seekg(static_cast<std::streamoff>(fromOffset - 1)) ||
            !In_.get(before) || before != '\n') {
            Restarted_ = true;
            fromOffset = 0;
        }
    }
    In_.clear();
    In_.seekg(static_cast<std::streamoff>(fromOffset));
    Offset_ = fromOffset;
    Buffer_.resize(std::size_t(
        std::clamp<std::uint64_t>(FileBytes_ - fromOffset + 1, kLeastPieceBytes, kPieceBytes)));
}

bool TCallLogScanner::Fill() {
    if (!In_.is_open() || In_.eof()) {
        return false;
    }
    std::memmove(Buffer_.data(), Buffer_.data() + Begin_, End_ - Begin_);
    End_ -= Begin_;
    Begin_ = 0;
    In_.read(Buffer_.data() + End_, static_cast<std::streamsize>(Buffer_.size() - End_));
    const auto got = static_cast<std::size_t>(In_.gcount());
    End_ += got;
    return got > 0;
}

std::optional<TCallLogScanner::TLine> TCallLogScanner::Next() {
    std::size_t looked = 0;    // bytes after Begin_ known to hold no line end
    std::uint64_t dropped = 0; // bytes of a too long line already let go
    while (true) {
        const char* bytes = Buffer_.data();
        const void* found = End_ > Begin_ + looked
                                ? std::memchr(bytes + Begin_ + looked, '\n', End_ - Begin_ - looked)
                                : nullptr;
        if (found == nullptr) {
            looked = End_ - Begin_;
            if (looked == Buffer_.size()) {
                dropped += looked;
                Begin_ = End_ = looked = 0;
            }
            if (!Fill()) {
                return std::nullopt;
            }
            continue;
        }
        const auto end = static_cast<std::size_t>(static_cast<const char*>(found) - bytes);
        TLine line;
        line.Offset = Offset_;
        line.TooLong = dropped > 0;
        if (!line.TooLong) {
            line.Text = std::string_view(bytes + Begin_, end - Begin_);
            if (!line.Text.empty() && line.Text.back() == '\r') {
                line.Text.remove_suffix(1);
            }
        }
        Offset_ += dropped + (end + 1 - Begin_);
        Begin_ = end + 1;
        if (line.TooLong || !line.Text.empty()) {
            return line;
        }
        looked = 0;
    }
}

} // namespace telvane
