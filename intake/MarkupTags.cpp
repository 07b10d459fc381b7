#include "intake/MarkupTags.h"

#include <algorithm>

namespace kven {

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isNameByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' || c == '-' ||
           c == '_' || c == '.';
}

} // namespace

Tag Tags::at(std::size_t at)
{
    Tag tag;
    std::size_t i = at + 1;
    if (i < markup_.size() && markup_[i] == '/') {
        tag.closing = true;
        ++i;
    }
    for (; i < markup_.size() && isNameByte(markup_[i]); ++i)
        tag.name += lower(markup_[i]);
    if (close_ != std::string_view::npos && close_ < i)
        close_ = markup_.find('>', i);
    tag.end = close_ == std::string_view::npos ? markup_.size() : close_ + 1;
    if (open_ != std::string_view::npos && open_ <= at)
        open_ = markup_.find('<', at + 1);
    tag.textEnd = std::min(tag.end, open_ == std::string_view::npos ? markup_.size() : open_);
    return tag;
}

std::string_view attributeValue(std::string_view tag, std::string_view name)
{
    constexpr std::string_view kBlanks = " \t\r\n";
    for (std::size_t p = tag.find(name); p != std::string_view::npos; p = tag.find(name, p + 1)) {
        if (p == 0 || kBlanks.find(tag[p - 1]) == std::string_view::npos)
            continue;
        std::size_t q = tag.find_first_not_of(kBlanks, p + name.size());
        if (q == std::string_view::npos || tag[q] != '=')
            continue;
        q = tag.find_first_not_of(kBlanks, q + 1);
        if (q == std::string_view::npos || (tag[q] != '"' && tag[q] != '\''))
            continue;
        const std::size_t close = tag.find(tag[q], q + 1);
        if (close != std::string_view::npos)
            return tag.substr(q + 1, close - q - 1);
    }
    return {};
}

bool hasWord(std::string_view list, std::string_view word)
{
    for (std::size_t from = 0; from < list.size();) {
        const std::size_t end = std::min(list.find_first_of(" \t\r\n", from), list.size());
        if (list.substr(from, end - from) == word)
            return true;
        from = end + 1;
    }
    return false;
}

} // namespace kven
