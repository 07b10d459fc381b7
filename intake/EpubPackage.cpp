#include "intake/EpubPackage.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace kven {

namespace {

constexpr std::string_view kContainer = "META-INF/container.xml";
constexpr std::string_view kEncryption = "META-INF/encryption.xml";

constexpr std::string_view kNoPackage = "EPUB のパッケージ文書がないか、読めません";
constexpr std::string_view kNoSpine = "本文の順序 (spine) がありません";
constexpr std::string_view kLoopingSpine = "本文の順序 (spine) に同じ文書が繰り返し出てきます";
constexpr std::string_view kClimbing = "アーカイブの外を指すパスがあります";
constexpr std::string_view kDrm = "暗号化 (DRM) された本です";

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDoc = std::unique_ptr<xmlDoc, DocFree>;

// Never loads a DTD or an external entity, never goes to the network and prints nothing; the
// parser's own limits on depth and entity expansion stay on.
XmlDoc parseXml(const std::string& bytes, bool recover)
{
    xmlInitParser();
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | (recover ? XML_PARSE_RECOVER : 0);
    return XmlDoc(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, options));
}

std::string_view localName(const xmlNode* node)
{
    return node->name != nullptr ? std::string_view(reinterpret_cast<const char*>(node->name)) : std::string_view();
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

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(std::string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() + 0 && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// An address with a scheme ("http:", "file:").
bool isRemote(std::string_view href)
{
    const std::size_t colon = href.find(':');
    return colon != std::string_view::npos && colon < href.find_first_of("/?#");
}

struct Item {
    std::string path;
    std::string mediaType;
    std::string properties;
};

bool isContentDocument(const Item& item)
{
    return item.mediaType == "application/xhtml+xml" || item.mediaType == "text/html";
}

class PackageReader {
public:
    explicit PackageReader(ZipArchive& archive) : archive_(archive) {}
    EpubPackage read();

private:
    std::string packagePath();
    std::string resolved(std::string_view from, std::string_view href, std::string* fragment = nullptr);
    void readManifest(const xmlNode* root, const std::string& opf);
    void readSpine(const xmlNode* spine);
    void refuseEncryptedContent(const std::string& navPath);
    void readNav(const std::string& path);
    void readNcx(const std::string& path);
    void addLink(std::string_view from, std::string_view href, std::string label);

    ZipArchive& archive_;
    std::vector<std::pair<std::string, Item>> items_; // by id, in manifest order
    std::unordered_map<std::string, std::size_t> itemById_;
    std::unordered_set<std::string> inSpine_;
    EpubPackage package_;
};

std::string PackageReader::resolved(std::string_view from, std::string_view href, std::string* fragment)
{
    std::optional<std::string> path = resolveHref(from, href, fragment);
    if (!path)
        archive_.refuse(kClimbing);
    return *path;
}

std::string PackageReader::packagePath()
{
    if (!archive_.has(kContainer))
        archive_.refuse(kNoPackage);
    const XmlDoc container = parseXml(archive_.read(kContainer), false);
    const xmlNode* rootfile = container ? firstElement(xmlDocGetRootElement(container.get()), "rootfile") : nullptr;
    const std::string fullPath = rootfile != nullptr ? attribute(rootfile, "full-path") : std::string();
    if (fullPath.empty())
        archive_.refuse(kNoPackage);
    return resolved("", fullPath);
}

EpubPackage PackageReader::read()
{
    const std::string opf = packagePath();
    if (!archive_.has(opf))
        archive_.refuse(kNoPackage);
    const XmlDoc doc = parseXml(archive_.read(opf), false);
    const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (root == nullptr || !isElement(root, "package"))
        archive_.refuse(kNoPackage);

    if (const xmlNode* metadata = firstElement(root, "metadata")) {
        if (const xmlNode* title = firstElement(metadata->children, "title"))
            package_.title = textOf(title);
        if (const xmlNode* creator = firstElement(metadata->children, "creator"))
            package_.author = textOf(creator);
    }
    readManifest(root, opf);
    const xmlNode* spine = firstElement(root, "spine");
    if (spine == nullptr)
        archive_.refuse(kNoSpine);
    readSpine(spine);

    // The EPUB 3 navigation document, else the NCX the spine names, else any NCX.
    std::string nav;
    std::string ncx;
    const std::string tocId = attribute(spine, "toc");
    for (const auto& [id, item] : items_) {
        if (nav.empty() && hasToken(item.properties, "nav"))
            nav = item.path;
        if (item.mediaType == "application/x-dtbncx+xml" && (ncx.empty() || id == tocId))
            ncx = item.path;
    }
    refuseEncryptedContent(nav.empty() ? ncx : nav);
    if (!nav.empty())
        readNav(nav);
    if (package_.contents.empty() && !ncx.empty())
        readNcx(ncx);
    return std::move(package_);
}

void PackageReader::readManifest(const xmlNode* root, const std::string& opf)
{
    const xmlNode* manifest = firstElement(root, "manifest");
    if (manifest == nullptr)
        return;
    for (const xmlNode* n = manifest->children; n != nullptr; n = n->next) {
        if (!isElement(n, "item"))
            continue;
        const std::string href = attribute(n, "href");
        // A resource on the network (a font, a video) is nothing to read.
        if (href.empty() || isRemote(href))
            continue;
        std::string id = attribute(n, "id");
        itemById_.emplace(id, items_.size());
        items_.emplace_back(std::move(id),
                            Item{resolved(opf, href), attribute(n, "media-type"), attribute(n, "properties")});
    }
}

void PackageReader::readSpine(const xmlNode* spine)
{
    std::set<std::string> seen;
    bool any = false;
    for (const xmlNode* n = spine->children; n != nullptr; n = n->next) {
        if (!isElement(n, "itemref"))
            continue;
        const std::string idref = attribute(n, "idref");
        if (!seen.insert(idref).second)
            archive_.refuse(kLoopingSpine);
        const auto item = itemById_.find(idref);
        if (item == itemById_.end())
            continue;
        any = true;
        // Pictures (a cover, a page of a comic) say nothing; notes kept out of the reading
        // order are reached only through links.
        const Item& document = items_[item->second].second;
        if (isContentDocument(document) && attribute(n, "linear") != "no" && inSpine_.insert(document.path).second)
            package_.spine.push_back(document.path);
    }
    if (!any)
        archive_.refuse(kNoSpine);
}

// Fonts may be obfuscated by the book's publisher; anything the reading needs may not be
// encrypted at all.
void PackageReader::refuseEncryptedContent(const std::string& navPath)
{
    std::unordered_set<std::string> needed = inSpine_;
    if (!navPath.empty())
        needed.insert(navPath);
    for (const std::string& path : needed)
        if (archive_.encrypted(path))
            archive_.refuse(kDrm);
    if (!archive_.has(kEncryption))
        return;
    const XmlDoc doc = parseXml(archive_.read(kEncryption), true);
    if (!doc)
        archive_.refuse(kDrm);
    bool content = false;
    forEachElement(xmlDocGetRootElement(doc.get()), [&](const xmlNode* n) {
        if (!isElement(n, "CipherReference"))
            return;
        const std::optional<std::string> path = resolveHref("", attribute(n, "URI"));
        content = content || !path || needed.contains(*path);
    });
    if (content)
        archive_.refuse(kDrm);
}

void PackageReader::addLink(std::string_view from, std::string_view href, std::string label)
{
    std::string fragment;
    const std::optional<std::string> path = resolveHref(from, href, &fragment);
    if (path && inSpine_.contains(*path))
        package_.contents.push_back({*path, std::move(fragment), std::move(label)});
}

void PackageReader::readNav(const std::string& path)
{
    if (!archive_.has(path))
        return;
    const XmlDoc doc = parseXml(archive_.read(path), true);
    if (!doc)
        return;
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    const xmlNode* toc = nullptr;
    forEachElement(root, [&](const xmlNode* n) {
        if (toc == nullptr && isElement(n, "nav") && hasToken(attribute(n, "type"), "toc"))
            toc = n;
    });
    if (toc == nullptr)
        toc = firstElement(root, "nav");
    if (toc == nullptr)
        return;
    forEachElement(toc->children, [&](const xmlNode* n) {
        if (isElement(n, "a") && !attribute(n, "href").empty())
            addLink(path, attribute(n, "href"), textOf(n));
    });
}

void PackageReader::readNcx(const std::string& path)
{
    if (!archive_.has(path))
        return;
    const XmlDoc doc = parseXml(archive_.read(path), true);
    if (!doc)
        return;
    const xmlNode* navMap = firstElement(xmlDocGetRootElement(doc.get()), "navMap");
    if (navMap == nullptr)
        return;
    forEachElement(navMap->children, [&](const xmlNode* n) {
        if (!isElement(n, "navPoint"))
            return;
        const xmlNode* label = nullptr;
        const xmlNode* content = nullptr;
        for (const xmlNode* c = n->children; c != nullptr; c = c->next) {
            if (label == nullptr && isElement(c, "navLabel"))
                label = c;
            if (content == nullptr && isElement(c, "content"))
                content = c;
        }
        if (content != nullptr)
            addLink(path, attribute(content, "src"), label != nullptr ? textOf(label) : std::string());
    });
}

} // namespace

bool isEpub(const ZipArchive& archive)
{
    return archive.has(kContainer) || archive.has("mimetype");
}

EpubPackage readEpubPackage(ZipArchive& archive)
{
    return PackageReader(archive).read();
}

std::optional<std::string> resolveHref(std::string_view from, std::string_view href, std::string* fragment)
{
    const std::size_t hash = href.find('#');
    if (fragment != nullptr)
        *fragment = hash == std::string_view::npos ? std::string() : percentDecoded(href.substr(hash + 1));
    href = href.substr(0, hash);
    // A scheme ("http:", "file:") or an absolute path points outside the archive.
    if (isRemote(href) || href.starts_with('/'))
        return std::nullopt;
    // Only a fragment: a place in the document itself.
    if (href.empty() && hash != std::string_view::npos)
        return std::string(from);
    const std::size_t slash = from.rfind('/');
    const std::string joined =
        (slash == std::string_view::npos ? std::string() : std::string(from.substr(0, slash + 1))) +
        percentDecoded(href);
    std::vector<std::string_view> parts;
    const std::string_view all(joined);
    for (std::size_t start = 0; start <= all.size();) {
        const std::size_t end = std::min(all.find('/', start), all.size());
        const std::string_view part = all.substr(start, end - start);
        if (part == "..") {
            if (parts.empty())
                return std::nullopt;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string path;
    for (const std::string_view part : parts)
        path += (path.empty() ? "" : "/") + std::string(part);
    return path;
}

} // namespace kven
