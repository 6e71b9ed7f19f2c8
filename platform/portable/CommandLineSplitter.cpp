#include "platform/portable/CommandLineSplitter.h"

#include <cstddef>

namespace KDAutoUpdate {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::size_t SkipBlanks(const std::string& text, std::size_t i) {
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    return i;
}

// Reads the arguments that start at `i` and appends them to `items`.
void AppendArguments(const std::string& text, std::size_t i, std::vector<std::string>& items) {
    i = SkipBlanks(text, i);
    while (i < text.size()) {
        std::string item;
        // Quotes seen in a row: 0 outside a quoted part, 1 inside; 2 right after a closing
        // quote, where a third quote is the literal one of "".
        int quotes = 0;
        while (i < text.size() && !(IsBlank(text[i]) && quotes == 0)) {
            if (text[i] == '\\') {
                std::size_t backslashes = 0;
                while (i < text.size() && text[i] == '\\') {
                    ++backslashes;
                    ++i;
                }
                if (i < text.size() && text[i] == '"') {
                    item.append(backslashes / 2, '\\');
                    if (backslashes % 2 == 1) {
                        item.push_back('"');
                        ++i;
                    }
                    // An even count leaves the quote to the branch below.
                } else {
                    item.append(backslashes, '\\');
                }
                continue;
            }
            if (text[i] == '"') {
                ++quotes;
                ++i;
                while (i < text.size() && text[i] == '"') {
                    if (++quotes == 3) {
                        item.push_back('"');
                        quotes = 0;
                    }
                    ++i;
                }
                if (quotes == 2)
                    quotes = 0;
                continue;
            }
            item.push_back(text[i]);
            ++i;
        }
        items.push_back(std::move(item));
        i = SkipBlanks(text, i);
    }
}

} // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> items;
    std::size_t i = SkipBlanks(commandLine, 0);
    if (i >= commandLine.size())
        return items;
    std::string program;
    if (commandLine[i] == '"') {
        const std::size_t close = commandLine.find('"', i + 1);
        const std::size_t end = close == std::string::npos ? commandLine.size() : close;
        program = commandLine.substr(i + 1, end - i - 1);
        i = close == std::string::npos ? end : close + 1;
    } else {
        const std::size_t start = i;
        while (i < commandLine.size() && !IsBlank(commandLine[i]))
            ++i;
        program = commandLine.substr(start, i - start);
    }
    items.push_back(std::move(program));
    AppendArguments(commandLine, i, items);
    return items;
}

std::vector<std::string> SplitArguments(const std::string& arguments) {
    std::vector<std::string> items;
    AppendArguments(arguments, 0, items);
    return items;
}

} // namespace KDAutoUpdate
