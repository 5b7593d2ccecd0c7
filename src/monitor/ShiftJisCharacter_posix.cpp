// Code page 932 through iconv: Shift_JIS as Windows and the adapters write it.
#include "monitor/ShiftJisCharacter.h"

#include <iconv.h>

namespace telvane::detail {
namespace {

class TConverter {
public:
    TConverter(const char* to, const char* from) : Handle_(::iconv_open(to, from)) {}
    ~TConverter() {
        if (Valid()) {
            ::iconv_close(Handle_);
        }
    }
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;

    bool Valid() const { return Handle_ != reinterpret_cast<iconv_t>(-1); }

    // The whole input converted, or nullopt.
    std::optional<std::string> Convert(std::string_view input) {
        if (!Valid()) {
            return std::nullopt;
        }
        ::iconv(Handle_, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char buffer[16];
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        if (::iconv(Handle_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) ||
            ::iconv(Handle_, nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1)) {
            return std::nullopt;
        }
        return std::string(buffer, sizeof buffer - outLeft);
    }

private:
    iconv_t Handle_;
};

// Converters keep state: one of each per thread.
TConverter& Decoder() {
    thread_local TConverter converter("UTF-32LE", "CP932");
    return converter;
}

TConverter& Encoder() {
    thread_local TConverter converter("CP932", "UTF-32LE");
    return converter;
}

} // namespace

std::optional<char32_t> DecodeShiftJisCharacter(std::string_view bytes) {
    const auto decoded = Decoder().Convert(bytes);
    if (!decoded || decoded->size() != 4) {
        return std::nullopt;
    }
    const auto* b = reinterpret_cast<const unsigned char*>(decoded->data());
    return static_cast<char32_t>(b[0] | (b[1] << 8) | (b[2] << 16) |
                                 (static_cast<char32_t>(b[3]) << 24));
}

std::string EncodeShiftJisCharacter(char32_t character) {
    const unsigned char input[4] = {
        static_cast<unsigned char>(character), static_cast<unsigned char>(character >> 8),
        static_cast<unsigned char>(character >> 16), static_cast<unsigned char>(character >> 24)};
    return Encoder()
        .Convert(std::string_view(reinterpret_cast<const char*>(input), sizeof input))
        .value_or(std::string());
}

} // namespace telvane::detail
