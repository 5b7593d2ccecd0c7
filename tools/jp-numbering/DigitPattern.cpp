#include "DigitPattern.h"

#include <set>
#include <stdexcept>

namespace telvane::jp {
namespace {

// Beyond this the pattern is not the small finite language it should be.
constexpr std::size_t kMostSequences = 200000;

using TSequences = std::set<TDigitClasses>;

class TParser {
public:
    explicit TParser(const std::string& pattern) : Pattern_(pattern) {}

    TSequences Whole() {
        TSequences sequences = Alternatives();
        if (Position_ != Pattern_.size()) {
            Fail("unmatched ')'");
        }
        return sequences;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw std::runtime_error("pattern \"" + Pattern_ + "\", at " + std::to_string(Position_) +
                                 ": " + what);
    }

    bool AtEnd() const { return Position_ >= Pattern_.size(); }
    char Peek() const { return AtEnd() ? '\0' : Pattern_[Position_]; }

    void Expect(char c) {
        if (Peek() != c) {
            Fail(std::string("expected '") + c + "'");
        }
        ++Position_;
    }

    TSequences Alternatives() {
        TSequences all = Sequence();
        while (Peek() == '|') {
            ++Position_;
            TSequences more = Sequence();
            all.insert(more.begin(), more.end());
            Check(all);
        }
        return all;
    }

    TSequences Sequence() {
        TSequences sequences = {TDigitClasses()};
        while (!AtEnd() && Peek() != '|' && Peek() != ')') {
            sequences = Concatenated(sequences, Repeated(Atom()));
        }
        return sequences;
    }

    TSequences Atom() {
        const char c = Peek();
        if (c >= '0' && c <= '9') {
            ++Position_;
            return {{static_cast<std::uint16_t>(1u << (c - '0'))}};
        }
        if (c == '[') {
            return {{Class()}};
        }
        if (c == '\\') {
            ++Position_;
            if (Peek() != 'd') {
                Fail("escape other than \\d");
            }
            ++Position_;
            return {{kAnyDigit}};
        }
        if (c == '(') {
            ++Position_;
            if (Peek() == '?') {
                ++Position_;
                Expect(':');
            }
            TSequences inner = Alternatives();
            Expect(')');
            return inner;
        }
        Fail(AtEnd() ? std::string("unexpected end") : std::string("construct '") + c + "'");
    }

    std::uint16_t Class() {
        Expect('[');
        if (Peek() == '^') {
            Fail("negated class");
        }
        std::uint16_t mask = 0;
        while (Peek() != ']') {
            const int from = ClassDigit();
            int to = from;
            if (Peek() == '-') {
                ++Position_;
                to = ClassDigit();
                if (to < from) {
                    Fail("reversed range");
                }
            }
            for (int d = from; d <= to; ++d) {
                mask = static_cast<std::uint16_t>(mask | (1u << d));
            }
        }
        ++Position_;
        if (mask == 0) {
            Fail("empty class");
        }
        return mask;
    }

    int ClassDigit() {
        const char c = Peek();
        if (c < '0' || c > '9') {
            Fail(AtEnd() ? std::string("unterminated class")
                         : std::string("class member '") + c + "'");
        }
        ++Position_;
        return c - '0';
    }

    int Number() {
        if (Peek() < '0' || Peek() > '9') {
            Fail("repeat without a count");
        }
        int value = 0;
        while (Peek() >= '0' && Peek() <= '9') {
            value = value * 10 + (Peek() - '0');
            if (value > 64) {
                Fail("repeat count too large");
            }
            ++Position_;
        }
        return value;
    }

    TSequences Repeated(const TSequences& atom) {
        int least = 1;
        int most = 1;
        if (Peek() == '?') {
            ++Position_;
            least = 0;
        } else if (Peek() == '{') {
            ++Position_;
            least = Number();
            most = least;
            if (Peek() == ',') {
                ++Position_;
                most = Number();
                if (most < least) {
                    Fail("reversed repeat");
                }
            }
            Expect('}');
        } else if (Peek() == '*' || Peek() == '+') {
            Fail("unbounded repeat");
        }
        if (Peek() == '?' || Peek() == '+' || Peek() == '*' || Peek() == '{') {
            Fail("repeat of a repeat");
        }
        TSequences all;
        TSequences power = {TDigitClasses()};
        for (int count = 0; count <= most; ++count) {
            if (count >= least) {
                all.insert(power.begin(), power.end());
            }
            if (count < most) {
                power = Concatenated(power, atom);
            }
        }
        return all;
    }

    TSequences Concatenated(const TSequences& heads, const TSequences& tails) const {
        TSequences joined;
        for (const auto& head : heads) {
            for (const auto& tail : tails) {
                TDigitClasses both = head;
                both.insert(both.end(), tail.begin(), tail.end());
                joined.insert(std::move(both));
            }
            Check(joined);
        }
        return joined;
    }

    void Check(const TSequences& sequences) const {
        if (sequences.size() > kMostSequences) {
            Fail("too many sequences");
        }
    }

    const std::string& Pattern_;
    std::size_t Position_ = 0;
};

} // namespace

std::vector<TDigitClasses> ExpandDigitPattern(const std::string& pattern) {
    const TSequences sequences = TParser(pattern).Whole();
    return {sequences.begin(), sequences.end()};
}

} // namespace telvane::jp
