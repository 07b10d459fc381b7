#include "state/MemoryWindowState.h"

#include "text/Cp932.h"
#include "text/TextOps.h"

#include <algorithm>

namespace kven {

void MemoryWindowState::setText(std::string text)
{
    text_ = std::move(text);
    selStart_ = 0;
    selLength_ = 0;
}

void MemoryWindowState::setTextFromUtf8(const std::string& utf8)
{
    setText(normalizeLineBreaks(cp932::fromUtf8(utf8)));
}

void MemoryWindowState::setSelStart(std::size_t pos)
{
    selStart_ = std::min(pos, text_.size());
    selLength_ = 0;
}

void MemoryWindowState::setSelLength(std::size_t len)
{
    selLength_ = std::min(len, text_.size() - selStart_);
}

void MemoryWindowState::setUnreadLimit(int pos)
{
    unreadLimit_ = std::clamp(pos, kLimitSlider.min, kLimitSlider.max);
}

void MemoryWindowState::setBlankLimit(int pos)
{
    blankLimit_ = std::clamp(pos, kLimitSlider.min, kLimitSlider.max);
}

void MemoryWindowState::setSpeed(int pos)
{
    const int clamped = std::clamp(pos, kSpeedSlider.min, kSpeedSlider.max);
    if (clamped == speed_)
        return;
    speed_ = clamped;
    if (onSpeedChange)
        onSpeedChange(speed_);
}

void MemoryWindowState::setVoiceIndex(int index)
{
    voiceIndex_ = (index >= 0 && index < voiceCount()) ? index : -1;
}

void MemoryWindowState::setVoices(const std::vector<std::string>& descriptions)
{
    voices_ = descriptions;
    voiceIndex_ = -1;
}

MemoryWindowState MemoryWindowState::copyOf(const WindowState& window)
{
    MemoryWindowState copy;
    copy.setText(window.text());
    copy.setSelStart(window.selStart());
    copy.setSelLength(window.selLength());
    copy.setAozoraRuby(window.aozoraRuby());
    copy.setAaSkip(window.aaSkip());
    copy.setHeadingSearch(window.headingSearch());
    copy.setRepeatSuppression(window.repeatSuppression());
    copy.setSilentNotes(window.silentNotes());
    copy.setWordReadings(window.wordReadings());
    copy.setUnreadLimit(window.unreadLimit());
    copy.setBlankLimit(window.blankLimit());
    copy.setSpeed(window.speed());
    copy.setSkipList(window.skipList());
    copy.setTalkSymbols(window.talkSymbols());
    copy.setCaption(window.caption());
    return copy;
}

} // namespace kven
