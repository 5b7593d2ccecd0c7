#include "outputs/CommandLine.h"

namespace telvane {

std::optional<std::vector<std::string>> SplitCommandLine(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
            continue;
        }
        inWord = true;
        if (c == '\\') {
            if (++i == text.size()) {
                return std::nullopt;
            }
            if (text[i] != '\n') {
                word += text[i];
            }
        } else if (c == '\'') {
            const std::size_t close = text.find('\'', i + 1);
            if (close == std::string::npos) {
                return std::nullopt;
            }
            word.append(text, i + 1, close - i - 1);
            i = close;
        } else if (c == '"') {
            for (++i;; ++i) {
                if (i == text.size()) {
                    return std::nullopt;
                }
                if (text[i] == '"') {
                    break;
                }
                if (text[i] == '\\' && i + 1 < text.size() &&
                    std::string("$`\"\\\n").find(text[i + 1]) != std::string::npos) {
                    ++i;
                    if (text[i] == '\n') {
                        continue;
                    }
                }
                word += text[i];
            }
        } else {
            word += c;
        }
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    return words;
}

} // namespace telvane
