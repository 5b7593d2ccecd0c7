#include "outputs/CallEvent.h"

#include "monitor/Clock.h"

#include <cstdio>

namespace telvane {
namespace {

std::string Format(const TLocalTime& local) {
    const long long offset = local.UtcOffset;
    const char sign = offset < 0 ? '-' : '+';
    const long long magnitude = offset < 0 ? -offset : offset;
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02lld:%02lld", local.Year,
                  local.Month, local.Day, local.Hour, local.Minute, local.Second, sign,
                  magnitude / 3600, magnitude / 60 % 60);
    return text;
}

void AppendCodePoint(std::string& out, unsigned code) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", code);
    out += buffer;
}

// Length of a valid UTF-8 sequence at i, or 0.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned minimum = 0;
    unsigned code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, code = lead & 0x07u;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3Fu);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

} // namespace

const char* EventName(TEventKind kind) {
    switch (kind) {
    case TEventKind::AdapterDown:
        return "adapter-down";
    case TEventKind::AdapterUp:
        return "adapter-up";
    case TEventKind::Call:
        break;
    }
    return "call";
}

std::string IsoTime(const std::string& timeText) {
    TLocalTime local;
    char end;
    if (timeText.size() != 19 ||
        std::sscanf(timeText.c_str(), "%4d/%2d/%2d %2d:%2d:%2d%c", &local.Year, &local.Month,
                    &local.Day, &local.Hour, &local.Minute, &local.Second, &end) != 6) {
        return {};
    }
    const auto offset =
        UtcOffsetAt(local.Year, local.Month, local.Day, local.Hour, local.Minute, local.Second);
    if (!offset) {
        return {};
    }
    local.UtcOffset = *offset;
    return Format(local);
}

std::string IsoNow() {
    return Format(LocalNow());
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = Utf8Length(text, i);
            if (length == 0) {
                out += "\\ufffd";
                ++i;
            } else {
                out.append(text, i, length);
                i += length;
            }
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            AppendCodePoint(out, c);
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out + "\"";
}

std::string CallJson(const TCallEvent& event) {
    const std::pair<const char*, const std::string*> fields[] = {
        {"number", &event.Number},
        {"display", &event.Display},
        {"name", &event.Name},
        {"area", &event.Area},
        {"kind", &event.NumberKind},
        {"time", &event.Time},
        {"previous_poll", &event.PreviousPoll}};
    std::string out = "{";
    for (const auto& [name, value] : fields) {
        if (out.size() > 1) {
            out += ',';
        }
        out += '"';
        out += name;
        out += "\":";
        out += JsonString(*value);
    }
    return out + "}";
}

} // namespace telvane
