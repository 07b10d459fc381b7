#include "intake/EpubPackage.h"

#include "intake/BookAddresses.h"
#include "intake/XmlNodes.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
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
constexpr std::string_view kDamagedEncryption = "暗号化の情報 (META-INF/encryption.xml) が XML として読めません";

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
    void contentsCut();

    ZipArchive& archive_;
    std::vector<std::pair<std::string, Item>> items_; // by id, in manifest order
    std::unordered_map<std::string, std::size_t> itemById_;
    std::unordered_set<std::string> remoteIds_; // items on the network, which are nothing to read
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
        std::string id = xml::attribute(n, "id");
        // A resource on the network (a font, a video) is nothing to read.
        if (href.empty() || isRemote(href)) {
            remoteIds_.insert(std::move(id));
            continue;
        }
        itemById_.emplace(id, items_.size());
        items_.emplace_back(
            std::move(id), Item{resolved(opf, href), xml::attribute(n, "media-type"), xml::attribute(n, "properties")});
    }
}

void PackageReader::readSpine(const xmlNode* spine)
{
    std::set<std::string> seen;
    bool any = false;
    std::size_t missing = 0;
    std::string firstMissing;
    for (const xmlNode* n = spine->children; n != nullptr; n = n->next) {
        if (!xml::isElement(n, "itemref"))
            continue;
        const std::string idref = xml::attribute(n, "idref");
        if (!seen.insert(idref).second)
            archive_.refuse(kLoopingSpine);
        const auto item = itemById_.find(idref);
        if (item == itemById_.end()) {
            if (!remoteIds_.contains(idref) && missing++ == 0)
                firstMissing = idref;
            continue;
        }
        any = true;
        // Pictures (a cover, a page of a comic) say nothing; notes kept out of the reading
        // order are reached only through links.
        const Item& document = items_[item->second].second;
        if (isContentDocument(document) && xml::attribute(n, "linear") != "no" && inSpine_.insert(document.path).second)
            package_.spine.push_back(document.path);
    }
    if (!any)
        archive_.refuse(kNoSpine);
    if (missing > 0)
        package_.warnings.push_back("本文の順序 (spine) の " + std::to_string(missing) +
                                    " 項目がマニフェストにありません (最初は \"" + firstMissing +
                                    "\"): その項目を飛ばして読みます");
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
    const EncryptionVerdict verdict =
        encryptionVerdict(archive_.read(kEncryption), [&](const std::string& path) { return needed.contains(path); });
    if (verdict != EncryptionVerdict::readable)
        archive_.refuse(encryptionRefusal(verdict));
}

void PackageReader::addLink(std::string_view from, std::string_view href, std::string label)
{
    std::string fragment;
    const std::optional<std::string> path = resolveHref(from, href, &fragment);
    if (path && inSpine_.contains(*path))
        package_.contents.push_back({*path, std::move(fragment), std::move(label)});
}

void PackageReader::contentsCut()
{
    package_.warnings.push_back("目次の項目が多すぎます: 最初の " + std::to_string(kContentsLimit) +
                                " 項目だけを使います");
}

// The links of the first nav element whose type says "toc", else of the first nav element, read
// as the document streams by: the first nav's links are kept until a table of contents turns up.
void PackageReader::readNav(const std::string& path)
{
    if (!archive_.has(path))
        return;
    xml::Reader reader(archive_.read(path));
    int navDepth = -1; // of the nav element whose links are being read
    bool toc = false;  // it is the table of contents
    bool seenNav = false;
    bool cut = false;
    while (reader.next()) {
        if (reader.starts("nav")) {
            const bool isToc = !toc && xml::hasToken(reader.attribute("type"), "toc");
            if (isToc || !seenNav) {
                if (isToc) {
                    package_.contents.clear();
                    cut = false;
                }
                toc = isToc;
                navDepth = reader.isEmpty() ? -1 : reader.depth();
            }
            seenNav = true;
            if (toc && navDepth < 0)
                break;
        } else if (navDepth >= 0 && reader.ends("nav") && reader.depth() == navDepth) {
            if (toc)
                break;
            navDepth = -1;
        } else if (navDepth >= 0 && !cut && reader.starts("a")) {
            const std::string href = reader.attribute("href");
            if (href.empty())
                continue;
            if (package_.contents.size() == kContentsLimit) {
                cut = true;
                if (toc)
                    break;
                continue;
            }
            const xmlNode* a = reader.expand();
            addLink(path, href, a != nullptr ? xml::textOf(a) : std::string());
        }
    }
    if (cut)
        contentsCut();
}

// The entries of the first navMap: each navPoint under it, in document order, with the label and
// the target of its own first navLabel and content children.
void PackageReader::readNcx(const std::string& path)
{
    if (!archive_.has(path))
        return;
    struct Point {
        std::string label;
        std::string src;
        bool labelled = false;
        bool targeted = false;
    };
    std::vector<Point> points;
    std::vector<std::pair<int, std::size_t>> open; // depth and index of the navPoints around
    int mapDepth = -1;
    bool cut = false;
    xml::Reader reader(archive_.read(path));
    while (reader.next()) {
        if (mapDepth < 0) {
            if (reader.starts("navMap") && !reader.isEmpty())
                mapDepth = reader.depth();
            continue;
        }
        const bool child = !open.empty() && reader.depth() == open.back().first + 1;
        if (reader.starts("navPoint")) {
            if (points.size() == kContentsLimit) {
                cut = true;
                break;
            }
            points.emplace_back();
            if (!reader.isEmpty())
                open.emplace_back(reader.depth(), points.size() - 1);
        } else if (child && reader.starts("navLabel") && !points[open.back().second].labelled) {
            const xmlNode* label = reader.expand();
            points[open.back().second].label = label != nullptr ? xml::textOf(label) : std::string();
            points[open.back().second].labelled = true;
        } else if (child && reader.starts("content") && !points[open.back().second].targeted) {
            points[open.back().second].src = reader.attribute("src");
            points[open.back().second].targeted = true;
        } else if (!open.empty() && reader.ends("navPoint") && reader.depth() == open.back().first) {
            open.pop_back();
        } else if (reader.ends("navMap") && reader.depth() == mapDepth) {
            break;
        }
    }
    for (Point& point : points)
        if (point.targeted)
            addLink(path, point.src, std::move(point.label));
    if (cut)
        contentsCut();
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

EncryptionVerdict encryptionVerdict(const std::string& xml, const std::function<bool(const std::string&)>& needed)
{
    if (xml.find_first_not_of(" \t\r\n") == std::string::npos)
        return EncryptionVerdict::readable;
    const xml::Document doc = xml::parse(xml, false);
    if (!doc)
        return EncryptionVerdict::damaged;
    bool names = false;
    xml::forEachElement(xmlDocGetRootElement(doc.get()), [&](const xmlNode* n) {
        if (names || !xml::isElement(n, "CipherReference"))
            return;
        const std::optional<std::string> path = resolveHref("", xml::attribute(n, "URI"));
        names = path && needed(*path);
    });
    return names ? EncryptionVerdict::drm : EncryptionVerdict::readable;
}

std::string_view encryptionRefusal(EncryptionVerdict verdict)
{
    switch (verdict) {
    case EncryptionVerdict::readable: break;
    case EncryptionVerdict::drm: return kDrm;
    case EncryptionVerdict::damaged: return kDamagedEncryption;
    }
    return {};
}

} // namespace kven
