// CString against std::string: the fuzz input is a sequence of operations on a few strings,
// each done to a CString and to a std::string that models it; after every operation every
// CString must hold exactly what its model holds. Copies share their text, so an operation on
// one string that showed in another would be caught too.
#include "fw/CString.h"
#include "tests/FuzzCheck.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const int kSlots = 4;
const size_t kLongest = 4096; // appends that would pass it are skipped: doubling grows fast


class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool More() const { return m_at < m_size; }
    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    int Small() { return static_cast<int>(Byte() % 24) - 2; } // lengths and positions, a few out of range
    int Slot() { return Byte() % kSlots; }
    // Up to 15 bytes of the input, NULs included.
    std::string Bytes()
    {
        std::string text;
        for (int length = Byte() % 16; length > 0 && More(); --length)
            text += static_cast<char>(Byte());
        return text;
    }
    // The same, without NULs, as a C string holds them.
    std::string Text()
    {
        std::string text = Bytes();
        for (char& c : text)
            c = c ? c : 'z';
        return text;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

std::string Held(const CString& s)
{
    return std::string(s.GetString(), static_cast<size_t>(s.GetLength()));
}

// What the class promises, written against std::string.
std::string ModelLeft(const std::string& s, int count)
{
    return count <= 0 ? std::string() : s.substr(0, static_cast<size_t>(count));
}

std::string ModelMid(const std::string& s, int start, int count)
{
    if (start < 0)
        start = 0;
    if (static_cast<size_t>(start) >= s.size() || count <= 0)
        return std::string();
    return s.substr(static_cast<size_t>(start), static_cast<size_t>(count));
}

int ModelFind(const std::string& s, const std::string& needle, int start)
{
    if (start < 0 || static_cast<size_t>(start) > s.size())
        return -1;
    const size_t at = s.find(needle, static_cast<size_t>(start));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int ModelFindChar(const std::string& s, char c, int start)
{
    const size_t at = s.find(c, static_cast<size_t>(start < 0 ? 0 : start));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int ModelReplace(std::string& s, const std::string& from, const std::string& to)
{
    if (from.empty() || s.empty())
        return 0;
    int count = 0;
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
        s.replace(at, from.size(), to);
        ++count;
    }
    return count;
}

int ModelDelete(std::string& s, int index, int count)
{
    if (index >= 0 && static_cast<size_t>(index) < s.size() && count > 0)
        s.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return static_cast<int>(s.size());
}

void Step(Input& in, CString* strings, std::string* models)
{
    const int a = in.Slot(), b = in.Slot();
    CString& s = strings[a];
    std::string& m = models[a];
    switch (in.Byte() % 20) {
    case 0: // assignment, itself included
        s = strings[b];
        m = models[b];
        break;
    case 1: { // a copy made elsewhere, then moved in; and a move onto itself
        CString copy(strings[b]);
        s = static_cast<CString&&>(copy);
        m = models[b];
        CString& same = s;
        s = static_cast<CString&&>(same);
        break;
    }
    case 2: {
        const std::string text = in.Bytes();
        s = CString(text.data(), static_cast<int>(text.size()));
        m = text;
        break;
    }
    case 3: {
        const std::string text = in.Text();
        s = text.c_str();
        m = text;
        break;
    }
    case 4: { // assigned a tail of its own text
        const int from = in.Small();
        if (from >= 0 && from <= s.GetLength()) {
            s = s.GetString() + from;
            m = std::string(m.c_str() + from);
        }
        break;
    }
    case 5: // +=, itself included
        if (m.size() + models[b].size() <= kLongest) {
            s += strings[b];
            m += models[b];
        }
        break;
    case 6: {
        const std::string text = in.Text();
        s += text.c_str();
        m += text;
        break;
    }
    case 7: { // += a tail of its own text
        const int from = in.Small();
        if (from >= 0 && from <= s.GetLength() && 2 * m.size() <= kLongest) {
            s += s.GetString() + from;
            m += std::string(m.c_str() + from);
        }
        break;
    }
    case 8: {
        const char c = static_cast<char>(in.Byte());
        s += c;
        m += c;
        break;
    }
    case 9: {
        const int count = in.Small();
        strings[b] = s.Left(count);
        models[b] = ModelLeft(m, count);
        break;
    }
    case 10: {
        const int start = in.Small(), count = in.Small();
        const bool whole = in.Byte() & 1;
        strings[b] = whole ? s.Mid(start) : s.Mid(start, count);
        models[b] = ModelMid(m, start, whole ? static_cast<int>(m.size()) : count);
        break;
    }
    case 11: {
        const std::string needle = in.Text();
        const int start = in.Small();
        Check(s.Find(needle.c_str(), start) == ModelFind(m, needle, start), "Find");
        const char c = static_cast<char>(in.Byte());
        Check(s.Find(c, start) == ModelFindChar(m, c, start), "Find of a character");
        const size_t last = m.rfind(c);
        Check(s.ReverseFind(c) == (last == std::string::npos ? -1 : static_cast<int>(last)), "ReverseFind");
        break;
    }
    case 12: {
        const std::string from = in.Text(), to = in.Text();
        std::string grown = m;
        const int count = ModelReplace(grown, from, to);
        if (grown.size() > kLongest)
            break; // replacing again and again grows fast too
        Check(s.Replace(from.c_str(), to.c_str()) == count, "Replace count");
        m = grown;
        break;
    }
    case 13: {
        const int index = in.Small(), count = in.Small();
        Check(s.Delete(index, count) == ModelDelete(m, index, count), "Delete");
        break;
    }
    case 14: { // buffer access, as an API that writes into it uses it
        const int length = in.Small();
        const int kept = length < 0 ? 0 : length;
        char* buffer = s.GetBufferSetLength(length);
        Check(std::memcmp(buffer, m.data(), std::min(m.size(), static_cast<size_t>(kept))) == 0,
              "GetBufferSetLength keeps the text that fits");
        m.resize(static_cast<size_t>(kept));
        for (int i = 0; i < kept; ++i) {
            buffer[i] = static_cast<char>(in.Byte());
            m[static_cast<size_t>(i)] = buffer[i];
        }
        const int released = in.Small();
        if (released < 0) {
            s.ReleaseBuffer();
            m = m.substr(0, std::strlen(m.c_str()));
        } else {
            const int length2 = released < kept ? released : kept;
            s.ReleaseBuffer(length2);
            m.resize(static_cast<size_t>(length2));
        }
        break;
    }
    case 15:
        s.Empty();
        m.clear();
        break;
    case 16: {
        const std::string text = in.Text();
        const int number = in.Small();
        s.Format("%s|%d", text.c_str(), number);
        m = text + "|" + std::to_string(number);
        break;
    }
    case 17: {
        const std::string text = in.Text();
        if (m.size() + models[b].size() + 2 * text.size() > kLongest)
            break;
        strings[b] = s + strings[b];
        models[b] = m + models[b];
        s = s + text.c_str();
        m = m + text;
        strings[b] = text.c_str() + strings[b];
        models[b] = text + models[b];
        break;
    }
    case 18:
        Check((s == strings[b]) == (m == models[b]), "== of two strings");
        Check((s == models[b].c_str()) == (std::strcmp(m.c_str(), models[b].c_str()) == 0), "== of a C string");
        break;
    case 19: {
        const int index = in.Small();
        const char expected = index >= 0 && static_cast<size_t>(index) < m.size() ? m[static_cast<size_t>(index)] : '\0';
        Check(s.GetAt(index) == expected, "GetAt");
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in(data, size);
    CString strings[kSlots];
    std::string models[kSlots];
    for (int steps = 0; in.More() && steps < 200; ++steps) {
        Step(in, strings, models);
        for (int i = 0; i < kSlots; ++i) {
            Check(Held(strings[i]) == models[i], "the text held");
            Check(strings[i].GetString()[strings[i].GetLength()] == '\0', "the terminator");
            Check(strings[i].IsEmpty() == models[i].empty(), "IsEmpty");
        }
    }
    return 0;
}
