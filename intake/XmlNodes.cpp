#include "intake/XmlNodes.h"

#include "intake/CharacterReferences.h"

#include <libxml/parserInternals.h>

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
    return collapsedBlanks(raw);
}

std::string collapsedBlanks(std::string_view raw)
{
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

std::string Attributes::operator[](std::string_view name) const
{
    for (int i = 0; i < count_; ++i) {
        const xmlChar* const* a = raw_ + 5 * i;
        if (a[0] == nullptr || std::string_view(reinterpret_cast<const char*>(a[0])) != name)
            continue;
        // The parser hands "&" on as "&#38;" (the tree decodes it once more), and only "&" so.
        std::string value;
        for (std::string_view raw(reinterpret_cast<const char*>(a[3]), static_cast<std::size_t>(a[4] - a[3]));
             !raw.empty();) {
            const std::size_t length = raw.starts_with("&#38;") ? 5 : 1;
            value += raw.front();
            raw.remove_prefix(length);
        }
        return value;
    }
    return {};
}

namespace {

struct Streaming {
    StreamHandler& handler;
    xmlParserCtxtPtr context = nullptr;
    int depth = 0;
};

void ignoreGenericError(void*, const char*, ...)
{
}

std::string_view nameOf(const xmlChar* name)
{
    return name != nullptr ? std::string_view(reinterpret_cast<const char*>(name)) : std::string_view();
}

void startElement(void* user, const xmlChar* localName, const xmlChar*, const xmlChar*, int, const xmlChar**,
                  int attributeCount, int, const xmlChar** attributes)
{
    auto& s = *static_cast<Streaming*>(user);
    s.handler.start(nameOf(localName), s.depth++, Attributes(attributes, attributeCount));
    if (s.handler.done())
        xmlStopParser(s.context);
}

void endElement(void* user, const xmlChar* localName, const xmlChar*, const xmlChar*)
{
    auto& s = *static_cast<Streaming*>(user);
    s.handler.end(nameOf(localName), --s.depth);
    if (s.handler.done())
        xmlStopParser(s.context);
}

void characters(void* user, const xmlChar* text, int length)
{
    static_cast<Streaming*>(user)->handler.text(
        std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)));
}

} // namespace

// The tree builder of parse() hears the same events from the same parser; here they go to the
// handler instead, and nothing is kept.
void stream(const std::string& bytes, StreamHandler& handler)
{
    xmlInitParser();
    const std::string xml = withNumericReferences(bytes);
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = startElement;
    sax.endElementNs = endElement;
    sax.characters = characters;
    sax.cdataBlock = characters;
    // Blanks between elements are text, as in the tree.
    sax.ignorableWhitespace = characters;
    sax.serror = [](void*, xmlErrorPtr) {};
    Streaming streaming{handler};
    // Bytes that its encoding cannot convert are reported without a parser to tell: not here.
    struct Quiet {
        xmlGenericErrorFunc function = xmlGenericError;
        void* context = xmlGenericErrorContext;
        Quiet() { xmlSetGenericErrorFunc(nullptr, ignoreGenericError); }
        ~Quiet() { xmlSetGenericErrorFunc(context, function); }
    } quiet;
    xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&sax, &streaming, nullptr, 0, nullptr);
    if (context == nullptr)
        return;
    streaming.context = context;
    xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_RECOVER);
    // In pieces, so that the parser never holds more than one of them besides what it is reading.
    constexpr std::size_t kPiece = 1 << 16;
    for (std::size_t at = 0; at < xml.size() && !context->disableSAX; at += kPiece) {
        const std::size_t size = std::min(kPiece, xml.size() - at);
        xmlParseChunk(context, xml.data() + at, static_cast<int>(size), 0);
    }
    if (!context->disableSAX)
        xmlParseChunk(context, nullptr, 0, 1);
    // Entities that the document declares are kept in a document of the parser's own.
    if (context->myDoc != nullptr)
        xmlFreeDoc(context->myDoc);
    xmlFreeParserCtxt(context);
}

} // namespace kven::xml
