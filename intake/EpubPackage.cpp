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

// The text of the elements being read, as textOf gives it: under each, less what ruby readings
// and their parentheses hold below it.
class LabelText {
public:
    // An element starts or ends at `depth`.
    void start(std::string_view name, int depth)
    {
        if (name == "rt" || name == "rp")
            readings_.push_back(depth);
    }
    void end(int depth)
    {
        if (!readings_.empty() && readings_.back() == depth)
            readings_.pop_back();
    }
    // The text goes to the label of an element at `depth` unless a reading below it holds it.
    bool counts(int depth) const { return readings_.empty() || readings_.back() <= depth; }

private:
    std::vector<int> readings_; // depths of the open rt and rp elements
};

// The links of the first nav element whose type says "toc", else of the first nav element, in
// document order: the first nav's links are kept until a table of contents turns up.
class NavLinks : public xml::StreamHandler {
public:
    struct Link {
        std::string href;
        std::string label; // as it comes, blanks not yet collapsed
    };
    std::vector<Link> links;
    bool cut = false; // past kContentsLimit

    void start(std::string_view name, int depth, const xml::Attributes& attributes) override
    {
        labels_.start(name, depth);
        if (name == "nav") {
            const bool isToc = !toc_ && xml::hasToken(attributes["type"], "toc");
            if (isToc || !seenNav_) {
                links.clear();
                open_.clear();
                cut = false;
                toc_ = isToc;
                navDepth_ = depth;
            }
            seenNav_ = true;
        } else if (name == "a" && navDepth_ >= 0 && !cut) {
            std::string href = attributes["href"];
            if (href.empty())
                return;
            if (links.size() == kContentsLimit) {
                cut = true;
                return;
            }
            links.push_back({std::move(href), {}});
            open_.emplace_back(depth, links.size() - 1);
        }
    }
    void end(std::string_view name, int depth) override
    {
        labels_.end(depth);
        if (!open_.empty() && open_.back().first == depth)
            open_.pop_back();
        if (name == "nav" && depth == navDepth_) {
            navDepth_ = -1;
            done_ = toc_;
        }
    }
    void text(std::string_view text) override
    {
        for (const auto& [depth, link] : open_)
            if (labels_.counts(depth))
                links[link].label += text;
    }
    bool done() const override { return done_ || (toc_ && cut); }

private:
    int navDepth_ = -1; // of the nav element whose links are being read
    bool toc_ = false;  // it is the table of contents
    bool seenNav_ = false;
    bool done_ = false;
    std::vector<std::pair<int, std::size_t>> open_; // depth and index of the links around
    LabelText labels_;
};

// The entries of the first navMap: each navPoint under it in document order, with the label and
// the target of its own first navLabel and content children.
class NcxPoints : public xml::StreamHandler {
public:
    struct Point {
        std::string label; // as it comes, blanks not yet collapsed
        std::string src;
        bool labelled = false;
        bool targeted = false;
    };
    std::vector<Point> points;
    bool cut = false; // past kContentsLimit

    void start(std::string_view name, int depth, const xml::Attributes& attributes) override
    {
        labels_.start(name, depth);
        if (mapDepth_ < 0) {
            if (name == "navMap" && !done_)
                mapDepth_ = depth;
            return;
        }
        const bool child = !open_.empty() && depth == open_.back().first + 1;
        if (name == "navPoint") {
            if (points.size() == kContentsLimit) {
                cut = true;
                return;
            }
            points.emplace_back();
            open_.emplace_back(depth, points.size() - 1);
        } else if (child && name == "navLabel" && !points[open_.back().second].labelled) {
            points[open_.back().second].labelled = true;
            labelDepth_ = depth;
            labelled_ = open_.back().second;
        } else if (child && name == "content" && !points[open_.back().second].targeted) {
            points[open_.back().second].src = attributes["src"];
            points[open_.back().second].targeted = true;
        }
    }
    void end(std::string_view name, int depth) override
    {
        labels_.end(depth);
        if (depth == labelDepth_)
            labelDepth_ = -1;
        if (!open_.empty() && open_.back().first == depth && name == "navPoint")
            open_.pop_back();
        if (depth == mapDepth_) {
            mapDepth_ = -1;
            done_ = true;
        }
    }
    void text(std::string_view text) override
    {
        if (labelDepth_ >= 0 && labels_.counts(labelDepth_))
            points[labelled_].label += text;
    }
    bool done() const override { return done_ || cut; }

private:
    int mapDepth_ = -1;
    int labelDepth_ = -1;      // of the navLabel being read
    std::size_t labelled_ = 0; // the point it names
    bool done_ = false;
    std::vector<std::pair<int, std::size_t>> open_; // depth and index of the navPoints around
    LabelText labels_;
};

void PackageReader::readNav(const std::string& path)
{
    if (!archive_.has(path))
        return;
    NavLinks nav;
    xml::stream(archive_.read(path), nav);
    for (NavLinks::Link& link : nav.links)
        addLink(path, link.href, xml::collapsedBlanks(link.label));
    if (nav.cut)
        contentsCut();
}

void PackageReader::readNcx(const std::string& path)
{
    if (!archive_.has(path))
        return;
    NcxPoints ncx;
    xml::stream(archive_.read(path), ncx);
    for (NcxPoints::Point& point : ncx.points)
        if (point.targeted)
            addLink(path, point.src, xml::collapsedBlanks(point.label));
    if (ncx.cut)
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
        // Paths in the encryption document are from the archive's root, with or without "/".
        std::string uri = xml::attribute(n, "URI");
        if (uri.starts_with('/'))
            uri.erase(0, 1);
        const std::optional<std::string> path = resolveHref("", uri);
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
