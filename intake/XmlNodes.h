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

// `raw` with its white space runs made one blank and trimmed, as textOf gives text.
std::string collapsedBlanks(std::string_view raw);

// The attributes of an element as a stream gives them.
class Attributes {
public:
    Attributes(const xmlChar** raw, int count) : raw_(raw), count_(count) {}
    // The attribute of that local name in any namespace, as xml::attribute finds it.
    std::string operator[](std::string_view name) const;

private:
    const xmlChar** raw_; // five pointers each: local name, prefix, URI, value, value end
    int count_;
};

// What a streamed document holds, in document order, as the tree that parse(bytes, true) builds
// would hold it: the same recovery from what is no XML, and the same limits.
class StreamHandler {
public:
    virtual ~StreamHandler() = default;
    // `depth` is 0 for the root element.
    virtual void start(std::string_view name, int depth, const Attributes& attributes) = 0;
    virtual void end(std::string_view name, int depth) = 0;
    // Text, CDATA included; one run of text may come in several pieces.
    virtual void text(std::string_view text) = 0;
    // Asked after each start and end: true ends the stream there.
    virtual bool done() const { return false; }
};

// Streams `bytes` to `handler` without building a tree: a tree takes many times the size of its
// document, so a document of unbounded length (a table of contents of millions of entries) is
// read so.
void stream(const std::string& bytes, StreamHandler& handler);

} // namespace kven::xml
