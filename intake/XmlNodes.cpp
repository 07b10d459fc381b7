#include "intake/XmlNodes.h"

#include "intake/CharacterReferences.h"

#include <libxml/xmlreader.h>

#include <algorithm>

namespace kven::xml {

namespace {

std::string_view localName(const xmlNode* node)
{
    return node->name != nullptr ? std::string_view(reinterpret_cast<const char*>(node->name)) : std::string_view();
}

} // namespace

// Never loads a DTD or an external entity, never goes to the network and prints nothing; the
// parser's own limits on depth and entity expansion stay on. The names of HTML that books use
// without their DTD (an undeclared one would cost every reference after it) are made numeric.
Document parse(const std::string& bytes, bool recover)
{
    xmlInitParser();
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | (recover ? XML_PARSE_RECOVER : 0);
    const std::string xml = withNumericReferences(bytes);
    return Document(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr, options));
}

bool isElement(const xmlNode* node, std::string_view name)
{
    return node->type == XML_ELEMENT_NODE && localName(node) == name;
}

// The attribute of that local name in any namespace.
std::string attribute(const xmlNode* node, std::string_view name)
{
    for (const xmlAttr* a = node->properties; a != nullptr; a = a->next) {
        if (a->name == nullptr || std::string_view(reinterpret_cast<const char*>(a->name)) != name)
            continue;
        std::string value;
        for (const xmlNode* t = a->children; t != nullptr; t = t->next)
            if (t->content != nullptr)
                value += reinterpret_cast<const char*>(t->content);
        return value;
    }
    return {};
}

bool hasToken(std::string_view list, std::string_view token)
{
    for (std::size_t from = 0; from <= list.size();) {
        const std::size_t end = std::min(list.find_first_of(" \t\r\n", from), list.size());
        if (list.substr(from, end - from) == token)
            return true;
        from = end + 1;
    }
    return false;
}

// Every element under `node`, in document order. The parser caps the depth of a document.
void forEachElement(const xmlNode* node, const std::function<void(const xmlNode*)>& visit)
{
    for (const xmlNode* n = node; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        visit(n);
        forEachElement(n->children, visit);
    }
}

const xmlNode* firstElement(const xmlNode* node, std::string_view name)
{
    const xmlNode* found = nullptr;
    forEachElement(node, [&](const xmlNode* n) {
        if (found == nullptr && isElement(n, name))
            found = n;
    });
    return found;
}

// The text under `node` with white space runs made one blank and trimmed, leaving out ruby
// readings and their parentheses. Entity references are not followed.
std::string textOf(const xmlNode* node)
{
    std::string raw;
    const std::function<void(const xmlNode*)> collect = [&](const xmlNode* n) {
        for (; n != nullptr; n = n->next) {
            if ((n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) && n->content != nullptr)
                raw += reinterpret_cast<const char*>(n->content);
            else if (n->type == XML_ELEMENT_NODE && !isElement(n, "rt") && !isElement(n, "rp"))
                collect(n->children);
        }
    };
    collect(node->children);
    std::string text;
    for (const char c : raw) {
        const bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
        if (!blank)
            text += c;
        else if (!text.empty() && text.back() != ' ')
            text += ' ';
    }
    if (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

namespace {

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

xmlTextReaderPtr readerOf(void* reader)
{
    return static_cast<xmlTextReaderPtr>(reader);
}

bool nameIs(xmlTextReaderPtr reader, std::string_view name)
{
    const xmlChar* local = xmlTextReaderConstLocalName(reader);
    return local != nullptr && std::string_view(reinterpret_cast<const char*>(local)) == name;
}

} // namespace

// Recovers as parse(bytes, true) does, and never loads a DTD or an external entity either.
Reader::Reader(const std::string& bytes) : xml_(withNumericReferences(bytes))
{
    xmlInitParser();
    xmlTextReaderPtr reader = xmlReaderForMemory(xml_.data(), static_cast<int>(xml_.size()), nullptr, nullptr,
                                                 kParseOptions | XML_PARSE_RECOVER);
    if (reader != nullptr)
        xmlTextReaderSetStructuredErrorHandler(
            reader, [](void*, xmlErrorPtr) {}, nullptr);
    reader_ = reader;
}

Reader::~Reader()
{
    if (reader_ != nullptr)
        xmlFreeTextReader(readerOf(reader_));
}

bool Reader::next()
{
    return reader_ != nullptr && xmlTextReaderRead(readerOf(reader_)) == 1;
}

bool Reader::starts(std::string_view name) const
{
    return xmlTextReaderNodeType(readerOf(reader_)) == XML_READER_TYPE_ELEMENT && nameIs(readerOf(reader_), name);
}

bool Reader::ends(std::string_view name) const
{
    return xmlTextReaderNodeType(readerOf(reader_)) == XML_READER_TYPE_END_ELEMENT && nameIs(readerOf(reader_), name);
}

bool Reader::isEmpty() const
{
    return xmlTextReaderIsEmptyElement(readerOf(reader_)) == 1;
}

int Reader::depth() const
{
    return xmlTextReaderDepth(readerOf(reader_));
}

std::string Reader::attribute(std::string_view name)
{
    xmlTextReaderPtr reader = readerOf(reader_);
    std::string value;
    for (int moved = xmlTextReaderMoveToFirstAttribute(reader); moved == 1;
         moved = xmlTextReaderMoveToNextAttribute(reader)) {
        if (xmlTextReaderIsNamespaceDecl(reader) == 1 || !nameIs(reader, name))
            continue;
        if (const xmlChar* v = xmlTextReaderConstValue(reader))
            value = reinterpret_cast<const char*>(v);
        break;
    }
    xmlTextReaderMoveToElement(reader);
    return value;
}

const xmlNode* Reader::expand()
{
    return xmlTextReaderExpand(readerOf(reader_));
}

} // namespace kven::xml
