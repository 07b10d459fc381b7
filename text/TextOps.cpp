#include "text/TextOps.h"

#include "text/Sjis.h"

#include <climits>
#include <cstring>

namespace kven {

namespace {

constexpr char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringCase(const char* a, std::string_view b)
{
    for (std::size_t k = 0; k < b.size(); ++k)
        if (lowerAscii(a[k]) != lowerAscii(b[k]))
            return false;
    return true;
}

// The first byte of data[0, count) that may begin an occurrence of a pattern whose first byte
// is `first` (in lower case when case is ignored).
template<bool kAnyCase> const char* nextCandidate(const char* data, std::size_t count, char first)
{
    if (kAnyCase && first >= 'a' && first <= 'z') {
        for (std::size_t k = 0; k < count; ++k)
            if (lowerAscii(data[k]) == first)
                return data + k;
        return nullptr;
    }
    return static_cast<const char*>(std::memchr(data, first, count));
}

template<bool kAnyCase> std::size_t findFirst(std::string_view text, std::string_view pattern, std::size_t startLimit)
{
    const std::size_t n = text.size();
    const std::size_t m = pattern.size();
    if (m == 0 || m > n)
        return npos;
    const std::size_t lastStart = n - m;
    const std::size_t limit = startLimit < lastStart + 1 ? startLimit : lastStart + 1;
    const char* data = text.data();
    const char first = kAnyCase ? lowerAscii(pattern[0]) : pattern[0];
    // Whether a candidate p starts a character follows from the run of lead-byte values just
    // before it: a byte that is no lead byte always ends a character, so such a run starts at a
    // character start and pairs up from there; p starts a character exactly when the run has
    // even length. `known` is a character start at or
    // before every later candidate, so no byte is walked back over twice.
    std::size_t known = 0;
    std::size_t i = 0;
    while (i < limit) {
        const char* hit = nextCandidate<kAnyCase>(data + i, limit - i, first);
        if (hit == nullptr)
            return npos;
        const auto p = static_cast<std::size_t>(hit - data);
        std::size_t q = p;
        while (q > known && sjis::isLeadByte(data[q - 1]))
            --q;
        if ((p - q) % 2 == 0) {
            if (kAnyCase ? equalIgnoringCase(data + p, pattern) : std::memcmp(data + p, pattern.data(), m) == 0)
                return p;
            known = p;
        } else {
            known = p + 1; // p is a second byte, so the next byte starts a character
        }
        i = p + 1;
    }
    return npos;
}

} // namespace

std::size_t findOffset(std::string_view text, std::string_view pattern, std::size_t startLimit)
{
    return findFirst<false>(text, pattern, startLimit);
}

std::size_t findOffsetIgnoringCase(std::string_view text, std::string_view pattern, std::size_t startLimit)
{
    return findFirst<true>(text, pattern, startLimit);
}

std::string replaceAll(std::string_view text, std::string_view pattern, std::string_view replacement)
{
    std::string out;
    std::size_t from = 0;
    std::size_t p = findOffset(text, pattern);
    if (p == npos)
        return std::string(text);
    out.reserve(text.size());
    while (p != npos) {
        out.append(text.substr(from, p - from));
        out.append(replacement);
        from = p + pattern.size();
        // Lead bytes are judged afresh from the byte after the replaced occurrence.
        const std::size_t next = findOffset(text.substr(from), pattern);
        p = next == npos ? npos : from + next;
    }
    out.append(text.substr(from));
    return out;
}

void replaceAllIn(std::string& text, std::string_view pattern, std::string_view replacement)
{
    std::size_t p = findOffset(text, pattern);
    if (p == npos)
        return;
    if (replacement.size() > pattern.size()) {
        text = replaceAll(text, pattern, replacement);
        return;
    }
    // Writing never overtakes reading, so the unreplaced rest is intact when it is searched.
    char* s = text.data();
    std::size_t w = 0;
    std::size_t from = 0;
    while (p != npos) {
        std::memmove(s + w, s + from, p - from);
        w += p - from;
        std::memcpy(s + w, replacement.data(), replacement.size());
        w += replacement.size();
        from = p + pattern.size();
        const std::size_t next = findOffset(std::string_view(text).substr(from), pattern);
        p = next == npos ? npos : from + next;
    }
    std::memmove(s + w, s + from, text.size() - from);
    text.resize(w + text.size() - from);
}

std::string_view trimView(std::string_view text)
{
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 0x20)
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20)
        --e;
    return text.substr(b, e - b);
}

int hexValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int lenientInt(std::string_view text)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < n && (text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    long long value = 0;
    bool any = false;
    while (i < n) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int d = base == 16 ? hexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (d < 0)
            break;
        const long long next = value * base + d;
        // A value that leaves the integer range stops the reading like a foreign character.
        if (next > static_cast<long long>(INT_MAX) + (negative ? 1 : 0))
            break;
        value = next;
        any = true;
        ++i;
    }
    if (!any)
        return 0;
    const bool stoppedEarly = i < n;
    if (negative && !stoppedEarly)
        return static_cast<int>(-value);
    return static_cast<int>(value > INT_MAX ? INT_MAX : value);
}

std::vector<std::string> splitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < n)
        lines.emplace_back(text.substr(start));
    return lines;
}

std::string joinLinesCrLf(const std::vector<std::string>& lines)
{
    std::size_t total = 0;
    for (const auto& l : lines)
        total += l.size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto& l : lines) {
        out.append(l);
        out.append("\r\n");
    }
    return out;
}

std::string normalizeLineBreaks(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 64);
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == '\r') {
            out.append("\r\n");
            if (i + 1 < n && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out.append("\r\n");
        } else {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace kven
