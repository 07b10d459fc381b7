#pragma once
// A window state held in plain memory, with the design's initial states: the options of the
// "etc" tab on, the listening options off, sliders at 0, lists empty, Start enabled and Stop disabled, caption "KVEN".

#include "state/WindowState.h"

#include <functional>

namespace kven {

class MemoryWindowState : public WindowState {
public:
    const std::string& text() const override { return text_; }
    void setText(std::string text) override;
    void setTextFromUtf8(const std::string& utf8) override;
    std::size_t selStart() const override { return selStart_; }
    void setSelStart(std::size_t pos) override;
    std::size_t selLength() const override { return selLength_; }
    void setSelLength(std::size_t len) override;

    bool startEnabled() const override { return startEnabled_; }
    void setStartEnabled(bool on) override { startEnabled_ = on; }
    bool stopEnabled() const override { return stopEnabled_; }
    void setStopEnabled(bool on) override { stopEnabled_ = on; }

    bool aozoraRuby() const override { return aozoraRuby_; }
    void setAozoraRuby(bool on) override { aozoraRuby_ = on; }
    bool aaSkip() const override { return aaSkip_; }
    void setAaSkip(bool on) override { aaSkip_ = on; }
    bool headingSearch() const override { return headingSearch_; }
    void setHeadingSearch(bool on) override { headingSearch_ = on; }
    bool repeatSuppression() const override { return repeatSuppression_; }
    void setRepeatSuppression(bool on) override { repeatSuppression_ = on; }
    bool silentNotes() const override { return silentNotes_; }
    void setSilentNotes(bool on) override { silentNotes_ = on; }
    bool wordReadings() const override { return wordReadings_; }
    void setWordReadings(bool on) override { wordReadings_ = on; }

    int unreadLimit() const override { return unreadLimit_; }
    void setUnreadLimit(int pos) override;
    int blankLimit() const override { return blankLimit_; }
    void setBlankLimit(int pos) override;
    int speed() const override { return speed_; }
    void setSpeed(int pos) override;

    const std::vector<std::string>& skipList() const override { return skipList_; }
    void setSkipList(std::vector<std::string> entries) override
    {
        skipList_ = std::move(entries);
        ++listsRevision_;
    }
    void addSkipEntry(std::string entry) override
    {
        skipList_.push_back(std::move(entry));
        ++listsRevision_;
    }

    const std::string& talkSymbols() const override { return talkSymbols_; }
    void setTalkSymbols(std::string text) override
    {
        talkSymbols_ = std::move(text);
        ++listsRevision_;
    }
    std::uint64_t listsRevision() const override { return listsRevision_; }

    std::string caption() const override { return caption_; }
    void setCaption(const std::string& caption) override { caption_ = caption; }

    int voiceIndex() const override { return voiceIndex_; }
    void setVoiceIndex(int index) override;
    int voiceCount() const override { return static_cast<int>(voices_.size()); }
    void setVoices(const std::vector<std::string>& descriptions) override;
    const std::vector<std::string>& voices() const { return voices_; }

    int windowLeft() const override { return left_; }
    void setWindowLeft(int x) override { left_ = x; }
    int windowTop() const override { return top_; }
    void setWindowTop(int y) override { top_ = y; }

    // Runs on every change of the speed slider's position, as the window's change handler.
    std::function<void(int)> onSpeedChange;

    // What a reading step reads in `window`: text, cursor, options, sliders and lists, and
    // the caption. Voices, reading state and placement keep the design's initial states.
    static MemoryWindowState copyOf(const WindowState& window);

private:
    std::string text_;
    std::size_t selStart_ = 0;
    std::size_t selLength_ = 0;
    bool startEnabled_ = true;
    bool stopEnabled_ = false;
    bool aozoraRuby_ = true;
    bool aaSkip_ = true;
    bool headingSearch_ = true;
    bool repeatSuppression_ = true;
    bool silentNotes_ = false;
    bool wordReadings_ = false;
    int unreadLimit_ = 0;
    int blankLimit_ = 0;
    int speed_ = 0;
    std::vector<std::string> skipList_;
    std::string talkSymbols_;
    std::uint64_t listsRevision_ = 0;
    std::string caption_ = "KVEN";
    int voiceIndex_ = -1;
    std::vector<std::string> voices_;
    int left_ = 0;
    int top_ = 0;
};

} // namespace kven
