#include "state/Session.h"

#include <algorithm>
#include <utility>

namespace kven {

struct Session::Subscription::Listeners {
    std::vector<std::pair<int, std::function<void(Changes)>>> list;
    int last = 0;
};

Session::Subscription::Subscription(Subscription&& other) noexcept
    : listeners_(std::move(other.listeners_)), id_(std::exchange(other.id_, 0))
{
}

Session::Subscription& Session::Subscription::operator=(Subscription&& other) noexcept
{
    if (this != &other) {
        end();
        listeners_ = std::move(other.listeners_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

Session::Subscription::~Subscription()
{
    end();
}

void Session::Subscription::end()
{
    if (const std::shared_ptr<Listeners> listeners = listeners_.lock())
        std::erase_if(listeners->list, [this](const auto& listener) { return listener.first == id_; });
    listeners_.reset();
    id_ = 0;
}

Session::Session() : listeners_(std::make_shared<Subscription::Listeners>())
{
}

Session::Session(const Session& other)
    : listeners_(std::make_shared<Subscription::Listeners>()), v_((other.catchUp(), other.v_))
{
}

Session::Session(Session&& other)
    : listeners_(std::make_shared<Subscription::Listeners>()), v_((other.catchUp(), std::move(other.v_)))
{
}

Session& Session::operator=(const Session& other)
{
    if (this != &other) {
        other.catchUp();
        const std::uint64_t revision = std::max(v_.textRevision, other.v_.textRevision) + 1;
        v_ = other.v_;
        // Whatever was worked out from the text before no longer holds.
        v_.textRevision = revision;
        stale_ = 0;
        announce(kEverything);
    }
    return *this;
}

Session& Session::operator=(Session&& other)
{
    if (this != &other) {
        other.catchUp();
        const std::uint64_t revision = std::max(v_.textRevision, other.v_.textRevision) + 1;
        v_ = std::move(other.v_);
        // Whatever was worked out from the text before no longer holds.
        v_.textRevision = revision;
        stale_ = 0;
        announce(kEverything);
    }
    return *this;
}

Session::~Session() = default;

Session::Subscription Session::subscribe(std::function<void(Changes)> listener) const
{
    const int id = ++listeners_->last;
    listeners_->list.emplace_back(id, std::move(listener));
    return Subscription(listeners_, id);
}

void Session::announce(Changes changes)
{
    // A listener may end its own subscription or another's while it runs: those that still
    // listen when their turn comes hear the change. One that subscribes meanwhile hears the
    // next change.
    std::vector<int> ids;
    ids.reserve(listeners_->list.size());
    for (const auto& listener : listeners_->list)
        ids.push_back(listener.first);
    const std::shared_ptr<Subscription::Listeners> listeners = listeners_;
    for (const int id : ids) {
        const auto found = std::find_if(listeners->list.begin(), listeners->list.end(),
                                        [id](const auto& listener) { return listener.first == id; });
        if (found == listeners->list.end())
            continue;
        const std::function<void(Changes)> call = found->second;
        call(changes);
    }
}

void Session::viewChanged(Changes parts)
{
    stale_ |= parts;
    if ((parts & textChanged) != 0) {
        v_.document.pastedUtf8.clear();
        v_.textEdited = true;
        ++v_.textRevision;
        // An edit may move the cursor without the view saying so.
        stale_ |= selectionChanged;
    }
    if ((parts & talkSymbolsChanged) != 0)
        ++v_.listsRevision;
}

void Session::catchUpText() const
{
    if ((stale_ & textChanged) == 0)
        return;
    stale_ &= ~Changes{textChanged};
    if (view_.text)
        v_.document.text = view_.text();
}

void Session::catchUpSelection() const
{
    if ((stale_ & selectionChanged) == 0)
        return;
    catchUpText();
    stale_ &= ~Changes{selectionChanged};
    if (view_.selStart)
        v_.selStart = view_.selStart();
    if (view_.selLength)
        v_.selLength = view_.selLength();
}

void Session::catchUp() const
{
    catchUpSelection();
    talkSymbols();
}

const Document& Session::document() const
{
    catchUpText();
    return v_.document;
}

const std::string& Session::text() const
{
    catchUpText();
    return v_.document.text;
}

void Session::load(Document document)
{
    stale_ &= ~Changes{textChanged | selectionChanged};
    const bool newCaption = document.caption != v_.document.caption;
    v_.document = std::move(document);
    v_.textEdited = false;
    ++v_.textRevision;
    v_.selStart = 0;
    v_.selLength = 0;
    v_.chunkStart = 0;
    v_.chunkEnd = 0;
    announce(documentChanged | textChanged | selectionChanged | (newCaption ? captionChanged : 0U));
}

void Session::setText(std::string text)
{
    stale_ &= ~Changes{textChanged | selectionChanged};
    v_.document.text = std::move(text);
    v_.document.pastedUtf8.clear();
    v_.textEdited = true;
    ++v_.textRevision;
    v_.selStart = 0;
    v_.selLength = 0;
    v_.chunkStart = 0;
    v_.chunkEnd = 0;
    announce(textChanged | selectionChanged);
}

std::size_t Session::selStart() const
{
    catchUpSelection();
    return v_.selStart;
}

void Session::setSelStart(std::size_t pos)
{
    catchUpText();
    stale_ &= ~Changes{selectionChanged};
    v_.selStart = std::min(pos, v_.document.text.size());
    v_.selLength = 0;
    announce(selectionChanged);
}

std::size_t Session::selLength() const
{
    catchUpSelection();
    return v_.selLength;
}

void Session::setSelLength(std::size_t len)
{
    catchUpSelection();
    v_.selLength = std::min(len, v_.document.text.size() - v_.selStart);
    v_.chunkStart = v_.selStart;
    v_.chunkEnd = v_.selStart + v_.selLength;
    announce(selectionChanged);
}

void Session::setReading(bool on)
{
    if (on == v_.reading)
        return;
    v_.reading = on;
    announce(readingChanged);
}

void Session::setOption(bool ReadingOptions::*option, bool on)
{
    v_.options.*option = on;
    announce(optionsChanged);
}

void Session::setLimit(int ReadingOptions::*limit, int pos)
{
    v_.options.*limit = std::clamp(pos, kLimitSlider.min, kLimitSlider.max);
    announce(optionsChanged);
}

void Session::setSpeed(int pos)
{
    const int clamped = std::clamp(pos, kSpeedSlider.min, kSpeedSlider.max);
    if (clamped == v_.speed)
        return;
    v_.speed = clamped;
    announce(speedChanged);
}

void Session::setSkipList(std::vector<std::string> entries)
{
    v_.skipList = std::move(entries);
    ++v_.listsRevision;
    announce(skipListChanged);
}

void Session::addSkipEntry(std::string entry)
{
    v_.skipList.push_back(std::move(entry));
    ++v_.listsRevision;
    announce(skipListChanged);
}

void Session::removeSkipEntry(std::size_t index)
{
    if (index >= v_.skipList.size())
        return;
    v_.skipList.erase(v_.skipList.begin() + static_cast<std::ptrdiff_t>(index));
    ++v_.listsRevision;
    announce(skipListChanged);
}

const std::string& Session::talkSymbols() const
{
    if ((stale_ & talkSymbolsChanged) != 0) {
        stale_ &= ~Changes{talkSymbolsChanged};
        if (view_.talkSymbols)
            v_.talkSymbols = view_.talkSymbols();
    }
    return v_.talkSymbols;
}

void Session::setTalkSymbols(std::string text)
{
    stale_ &= ~Changes{talkSymbolsChanged};
    v_.talkSymbols = std::move(text);
    ++v_.listsRevision;
    announce(talkSymbolsChanged);
}

void Session::setReadingDictionary(std::shared_ptr<const ReadingDictionary> dictionary)
{
    v_.dictionary = std::move(dictionary);
    announce(dictionaryChanged);
}

void Session::setVoiceIndex(int index)
{
    v_.voiceIndex = index >= 0 && index < voiceCount() ? index : -1;
    announce(voiceChanged);
}

void Session::setVoices(std::vector<std::string> descriptions)
{
    v_.voices = std::move(descriptions);
    v_.voiceIndex = -1;
    announce(voicesChanged | voiceChanged);
}

void Session::setWindowLeft(int x)
{
    v_.left = x;
    announce(placementChanged);
}

void Session::setWindowTop(int y)
{
    v_.top = y;
    announce(placementChanged);
}

} // namespace kven
