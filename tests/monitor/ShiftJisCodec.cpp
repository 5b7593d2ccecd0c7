#include "ShiftJisCodec.h"

#include "monitor/ShiftJis.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace telvane {
namespace {

constexpr char16_t kEscapeBase = 0xF700;

bool IsEscape(QChar c) {
    return c.unicode() >= kEscapeBase && c.unicode() <= kEscapeBase + 0xFF;
}

// The encoding of one character, or empty when Shift_JIS lacks it.
QByteArray EncodeOne(const QString& character) {
    QStringEncoder encoder("Shift_JIS", QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(character);
    return encoder.hasError() ? QByteArray() : bytes;
}

} // namespace

bool ShiftJisAvailable() {
    return QStringDecoder("Shift_JIS").isValid();
}

QString FromShiftJis(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            text.append(QChar(lead));
            ++i;
            continue;
        }
        const std::size_t length = IsLeadByte(lead) && i + 1 < bytes.size() ? 2 : 1;
        const QByteArray piece(bytes.data() + i, static_cast<qsizetype>(length));
        QStringDecoder decoder("Shift_JIS", QStringConverter::Flag::Stateless);
        const QString decoded = decoder.decode(piece);
        const bool exact = !decoder.hasError() && decoded.size() == 1 && !IsEscape(decoded[0]) &&
                           decoded[0] != QChar::ReplacementCharacter && EncodeOne(decoded) == piece;
        if (exact) {
            text.append(decoded);
            i += length;
        } else {
            // Only the first byte is escaped; the next may start a character.
            text.append(QChar(static_cast<char16_t>(kEscapeBase + lead)));
            ++i;
        }
    }
    return text;
}

std::string ToShiftJis(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80) {
            bytes.push_back(static_cast<char>(c.unicode()));
        } else if (IsEscape(c)) {
            bytes.push_back(static_cast<char>(c.unicode() - kEscapeBase));
        } else {
            const qsizetype length = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            const QByteArray encoded = EncodeOne(text.mid(i, length));
            bytes.append(encoded.isEmpty() ? QByteArray("?") : encoded);
            i += length - 1;
        }
    }
    return bytes;
}

} // namespace telvane
