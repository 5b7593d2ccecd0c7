// Shift_JIS decoding with iconv. CP932 is the code page Windows and Japanese
// phones actually write (Shift_JIS plus the vendor extensions).
#include "callers/TextDecoding.h"

#include <cerrno>
#include <iconv.h>

namespace telvane {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

class TConverter {
public:
    TConverter() : Handle_(::iconv_open("UTF-8", "CP932")) {
        if (Handle_ == reinterpret_cast<iconv_t>(-1)) {
            Handle_ = ::iconv_open("UTF-8", "SHIFT_JIS");
        }
    }
    ~TConverter() {
        if (Valid()) {
            ::iconv_close(Handle_);
        }
    }
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;

    bool Valid() const { return Handle_ != reinterpret_cast<iconv_t>(-1); }

    std::string Convert(std::string_view text) {
        ::iconv(Handle_, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        // Every Shift_JIS byte gives at most 3 bytes of UTF-8.
        std::string buffer(text.size() * 3 + 4, '\0');
        char* in = const_cast<char*>(text.data());
        std::size_t inLeft = text.size();
        while (inLeft > 0) {
            char* outPointer = buffer.data();
            std::size_t outLeft = buffer.size();
            const std::size_t result = ::iconv(Handle_, &in, &inLeft, &outPointer, &outLeft);
            out.append(buffer.data(), buffer.size() - outLeft);
            if (result != static_cast<std::size_t>(-1)) {
                break;
            }
            if (errno == E2BIG) {
                continue;
            }
            // An invalid or cut-off sequence: one byte becomes U+FFFD.
            out += kReplacement;
            ++in;
            --inLeft;
            ::iconv(Handle_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t Handle_;
};

} // namespace

std::string ShiftJisToUtf8(std::string_view text) {
    bool ascii = true;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        return std::string(text);
    }
    // One converter per thread: iconv handles keep state.
    thread_local TConverter converter;
    if (!converter.Valid()) {
        std::string out;
        for (const char c : text) {
            if (static_cast<unsigned char>(c) < 0x80) {
                out += c;
            } else {
                out += kReplacement;
            }
        }
        return out;
    }
    return converter.Convert(text);
}

} // namespace telvane
