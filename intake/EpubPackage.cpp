#include "intake/EpubPackage.h"

#include "intake/BookAddresses.h"
#include "intake/XmlNodes.h"

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
    const xml::Document container = xml::parse(archive_.read(kContainer), false);
    const xmlNode* rootfile =
        container ? xml::firstElement(xmlDocGetRootElement(container.get()), "rootfile") : nullptr;
    const std::string fullPath = rootfile != nullptr ? xml::attribute(rootfile, "full-path") : std::string();
    if (fullPath.empty())
        archive_.refuse(kNoPackage);
    return resolved("", fullPath);
}

EpubPackage PackageReader::read()
{
    const std::string opf = packagePath();
    if (!archive_.has(opf))
        archive_.refuse(kNoPackage);
    const xml::Document doc = xml::parse(archive_.read(opf), false);
    const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (root == nullptr || !xml::isElement(root, "package"))
        archive_.refuse(kNoPackage);

    if (const xmlNode* metadata = xml::firstElement(root, "metadata")) {
        if (const xmlNode* title = xml::firstElement(metadata->children, "title"))
            package_.title = xml::textOf(title);
        if (const xmlNode* creator = xml::firstElement(metadata->children, "creator"))
            package_.author = xml::textOf(creator);
    }
    readManifest(root, opf);
    const xmlNode* spine = xml::firstElement(root, "spine");
    if (spine == nullptr)
        archive_.refuse(kNoSpine);
    readSpine(spine);

    // The EPUB 3 navigation document, else the NCX the spine names, else any NCX.
    std::string nav;
    std::string ncx;
    const std::string tocId = xml::attribute(spine, "toc");
    for (const auto& [id, item] : items_) {
        if (nav.empty() && xml::hasToken(item.properties, "nav"))
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
    const xmlNode* manifest = xml::firstElement(root, "manifest");
    if (manifest == nullptr)
        return;
    for (const xmlNode* n = manifest->children; n != nullptr; n = n->next) {
        if (!xml::isElement(n, "item"))
            continue;
        const std::string href = xml::attribute(n, "href");
        // A resource on the network (a font, a video) is nothing to read.
        if (href.empty() || isRemote(href))
            continue;
        std::string id = xml::attribute(n, "id");
        itemById_.emplace(id, items_.size());
        items_.emplace_back(
            std::move(id), Item{resolved(opf, href), xml::attribute(n, "media-type"), xml::attribute(n, "properties")});
    }
}

void PackageReader::readSpine(const xmlNode* spine)
{
    std::set<std::string> seen;
    bool any = false;
    for (const xmlNode* n = spine->children; n != nullptr; n = n->next) {
        if (!xml::isElement(n, "itemref"))
            continue;
        const std::string idref = xml::attribute(n, "idref");
        if (!seen.insert(idref).second)
            archive_.refuse(kLoopingSpine);
        const auto item = itemById_.find(idref);
        if (item == itemById_.end())
            continue;
        any = true;
        // Pictures (a cover, a page of a comic) say nothing; notes kept out of the reading
        // order are reached only through links.
        const Item& document = items_[item->second].second;
        if (isContentDocument(document) && xml::attribute(n, "linear") != "no" && inSpine_.insert(document.path).second)
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
    const xml::Document doc = xml::parse(archive_.read(kEncryption), true);
    if (!doc)
        archive_.refuse(kDrm);
    bool content = false;
    xml::forEachElement(xmlDocGetRootElement(doc.get()), [&](const xmlNode* n) {
        if (!xml::isElement(n, "CipherReference"))
            return;
        const std::optional<std::string> path = resolveHref("", xml::attribute(n, "URI"));
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
    const xml::Document doc = xml::parse(archive_.read(path), true);
    if (!doc)
        return;
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    const xmlNode* toc = nullptr;
    xml::forEachElement(root, [&](const xmlNode* n) {
        if (toc == nullptr && xml::isElement(n, "nav") && xml::hasToken(xml::attribute(n, "type"), "toc"))
            toc = n;
    });
    if (toc == nullptr)
        toc = xml::firstElement(root, "nav");
    if (toc == nullptr)
        return;
    xml::forEachElement(toc->children, [&](const xmlNode* n) {
        if (xml::isElement(n, "a") && !xml::attribute(n, "href").empty())
            addLink(path, xml::attribute(n, "href"), xml::textOf(n));
    });
}

void PackageReader::readNcx(const std::string& path)
{
    if (!archive_.has(path))
        return;
    const xml::Document doc = xml::parse(archive_.read(path), true);
    if (!doc)
        return;
    const xmlNode* navMap = xml::firstElement(xmlDocGetRootElement(doc.get()), "navMap");
    if (navMap == nullptr)
        return;
    xml::forEachElement(navMap->children, [&](const xmlNode* n) {
        if (!xml::isElement(n, "navPoint"))
            return;
        const xmlNode* label = nullptr;
        const xmlNode* content = nullptr;
        for (const xmlNode* c = n->children; c != nullptr; c = c->next) {
            if (label == nullptr && xml::isElement(c, "navLabel"))
                label = c;
            if (content == nullptr && xml::isElement(c, "content"))
                content = c;
        }
        if (content != nullptr)
            addLink(path, xml::attribute(content, "src"), label != nullptr ? xml::textOf(label) : std::string());
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

} // namespace kven
