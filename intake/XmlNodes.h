#pragma once
// A few reading helpers over libxml2's trees for the package and navigation documents of a
// book: parsing that never loads a DTD or an external entity, names and attributes in any
// namespace, and text without ruby readings.

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kven::xml {

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using Document = std::unique_ptr<xmlDoc, DocFree>;

// Null when `bytes` are no XML (with `recover`, only when nothing can be made of them). Never
// goes to the network and prints nothing; the parser's own limits on depth and entity
// expansion stay on. The named references of HTML count as the characters they name.
Document parse(const std::string& bytes, bool recover);

bool isElement(const xmlNode* node, std::string_view name);
// The attribute of that local name in any namespace; empty when there is none.
std::string attribute(const xmlNode* node, std::string_view name);
// Whether the white-space separated `list` holds `token`.
bool hasToken(std::string_view list, std::string_view token);
// Every element from `node` on and under it, in document order.
void forEachElement(const xmlNode* node, const std::function<void(const xmlNode*)>& visit);
const xmlNode* firstElement(const xmlNode* node, std::string_view name);
// The text under `node`, white space runs made one blank and trimmed, ruby readings and their
// parentheses left out. Entity references are not followed.
std::string textOf(const xmlNode* node);

// A document read node by node, as parse() reads it, without ever holding it whole: a tree of
// a large document takes many times its size, so a document of unbounded length (a table of
// contents of millions of entries) is read so.
class Reader {
public:
    explicit Reader(const std::string& bytes);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Moves to the next node; false at the end, or where the document stops being XML.
    bool next();
    // The current node starts an element (`name` its local name), or ends one; an empty element
    // only starts.
    bool starts(std::string_view name) const;
    bool ends(std::string_view name) const;
    bool isEmpty() const;
    int depth() const;
    // The attribute of the current element, as xml::attribute finds it.
    std::string attribute(std::string_view name);
    // The current element with everything under it, valid until the next move. Null when that
    // cannot be read.
    const xmlNode* expand();

private:
    std::string xml_;
    void* reader_ = nullptr;
};

} // namespace kven::xml
