#include "state/Session.h"

#include "text/Cp932.h"
#include "text/TextOps.h"

#include <algorithm>

namespace kven {

Session::Session(const Session& other) : v_((other.catchUpSelection(), other.talkSymbols(), other.v_))
{
}

void Session::announce(Changes changes)
{
    if (listener_)
        listener_(changes);
}

void Session::viewChanged(Changes parts)
{
    stale_ |= parts;
    if ((parts & textChanged) != 0) {
        v_.pastedUtf8.clear();
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
        v_.text = view_.text();
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

const std::string& Session::text() const
{
    catchUpText();
    return v_.text;
}

void Session::setText(std::string text)
{
    stale_ &= ~Changes{textChanged | selectionChanged};
    v_.text = std::move(text);
    v_.pastedUtf8.clear();
    v_.selStart = 0;
    v_.selLength = 0;
    v_.chunkStart = 0;
    v_.chunkEnd = 0;
    announce(textChanged | selectionChanged);
}

void Session::setTextFromUtf8(const std::string& utf8)
{
    stale_ &= ~Changes{textChanged | selectionChanged};
    v_.text = normalizeLineBreaks(cp932::fromUtf8(utf8));
    v_.pastedUtf8 = utf8;
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
    v_.selStart = std::min(pos, v_.text.size());
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
    v_.selLength = std::min(len, v_.text.size() - v_.selStart);
    v_.chunkStart = v_.selStart;
    v_.chunkEnd = v_.selStart + v_.selLength;
    announce(selectionChanged);
}

void Session::setReading(bool on)
{
    v_.reading = on;
    announce(readingChanged);
}

void Session::setOption(bool& option, bool on)
{
    option = on;
    announce(optionsChanged);
}

void Session::setUnreadLimit(int pos)
{
    v_.unreadLimit = std::clamp(pos, kLimitSlider.min, kLimitSlider.max);
    announce(optionsChanged);
}

void Session::setBlankLimit(int pos)
{
    v_.blankLimit = std::clamp(pos, kLimitSlider.min, kLimitSlider.max);
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

void Session::setCaption(std::string caption)
{
    v_.caption = std::move(caption);
    announce(captionChanged);
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

void Session::becomePaste()
{
    v_.document.path.clear();
    v_.document.file.clear();
    v_.document.headings.clear();
    v_.document.headingEnds.clear();
    v_.document.rubyBases.clear();
    v_.document.contents.clear();
    v_.document.title.clear();
    v_.document.author.clear();
}

void Session::becomeFile(const std::string& file)
{
    v_.document.file = file;
    v_.document.path = cp932::fromUtf8(file);
}

} // namespace kven
