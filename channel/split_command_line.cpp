#include "channel/split_command_line.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

// The characters a backslash escapes inside double quotes; before any other character the
// backslash stays.
bool EscapableInDoubleQuotes(char c) {
    return c == '$' || c == '`' || c == '"' || c == '\\' || c == '\n';
}

}  // namespace

std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    // A word exists once any character or any quote has been seen, so that "" is an empty word.
    bool inWord = false;
    std::size_t i = 0;
    const std::size_t n = line.size();

    while (i < n) {
        const char c = line[i];
        if (IsBlank(c)) {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
            ++i;
        } else if (c == '\\') {
            if (i + 1 == n) {
                word.push_back('\\');
                inWord = true;
                ++i;
            } else if (line[i + 1] == '\n') {
                i += 2;
            } else {
                word.push_back(line[i + 1]);
                inWord = true;
                i += 2;
            }
        } else if (c == '\'') {
            const std::size_t close = line.find('\'', i + 1);
            if (close == std::string_view::npos) {
                return std::nullopt;
            }
            word.append(line.substr(i + 1, close - i - 1));
            inWord = true;
            i = close + 1;
        } else if (c == '"') {
            inWord = true;
            ++i;
            bool closed = false;
            while (i < n) {
                const char d = line[i];
                if (d == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (d == '\\' && i + 1 < n && EscapableInDoubleQuotes(line[i + 1])) {
                    if (line[i + 1] != '\n') {
                        word.push_back(line[i + 1]);
                    }
                    i += 2;
                    continue;
                }
                word.push_back(d);
                ++i;
            }
            if (!closed) {
                return std::nullopt;
            }
        } else {
            word.push_back(c);
            inWord = true;
            ++i;
        }
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    return words;
}

std::string QuoteCommandWord(std::string_view word) {
    const bool plain = !word.empty() && word.find_first_not_of(
                                            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                            "0123456789_-./=:,+@%") == std::string_view::npos;
    if (plain) {
        return std::string(word);
    }
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}
