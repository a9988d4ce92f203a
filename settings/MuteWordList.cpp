#include "settings/MuteWordList.h"

#include <algorithm>

#include "fw/Utf8Prefix.h"
#include "settings/CSettings.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string Trimmed(const std::string& line)
{
    std::size_t begin = 0, end = line.size();
    while (begin < end && IsBlank(line[begin]))
        ++begin;
    while (end > begin && IsBlank(line[end - 1]))
        --end;
    return line.substr(begin, end - begin);
}

} // namespace

std::vector<std::string> MuteWordsFromText(const std::string& text)
{
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start <= text.size() && words.size() < static_cast<std::size_t>(CSettings::kMaxMuteWords)) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        // A cut may leave blanks at the end: trimmed again.
        const std::string word = Trimmed(Utf8Prefix(Trimmed(text.substr(start, end - start)), CSettings::kMaxMuteWordLength));
        if (!word.empty() && std::find(words.begin(), words.end(), word) == words.end())
            words.push_back(word);
        start = end + 1;
    }
    return words;
}

std::string MuteWordsText(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words) {
        if (!text.empty())
            text += "\r\n";
        text += word;
    }
    return text;
}
