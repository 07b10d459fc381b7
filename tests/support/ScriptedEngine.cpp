#include "support/ScriptedEngine.h"

#include "text/Cp932.h"

#include <algorithm>

namespace kven::testing {

void ScriptedEngine::maybeFail(const std::string& op)
{
    if (failOn && *failOn == op)
        throw KvenError(failMessage);
}

void ScriptedEngine::finishSpeaking()
{
    for (int stream : open_)
        endStream(stream);
    open_.clear();
}

void ScriptedEngine::failSpeaking(const std::string& message)
{
    for (int stream : open_)
        failStream(stream, message);
    open_.clear();
}

void ScriptedEngine::setVoices(std::initializer_list<std::u16string> descriptions)
{
    voices.clear();
    for (const auto& d : descriptions)
        voices.push_back(std::make_shared<ScriptedVoice>(d));
}

void ScriptedEngine::doConnect()
{
    calls.push_back("connect");
    maybeFail("connect");
}

void ScriptedEngine::doSetEventInterests(int interests)
{
    calls.push_back("EventInterests " + std::to_string(interests));
    maybeFail("EventInterests");
}

std::vector<VoiceHandle> ScriptedEngine::doInstalledVoices()
{
    calls.push_back("installedVoices");
    maybeFail("installedVoices");
    return voices;
}

void ScriptedEngine::doSetVoice(const VoiceHandle& voice)
{
    const auto it = std::find(voices.begin(), voices.end(), voice);
    calls.push_back("Voice " + std::to_string(it == voices.end() ? -1 : it - voices.begin()));
    maybeFail("Voice");
}

void ScriptedEngine::doSetRate(int rate)
{
    calls.push_back("Rate " + std::to_string(rate));
    maybeFail("Rate");
}

void ScriptedEngine::doSpeak(std::u16string_view text, int flags, int streamNumber)
{
    calls.push_back("Speak " + cp932::wideToUtf8(text) +
                    (flags == kSpeakAsync ? "" : " flags " + std::to_string(flags)));
    maybeFail("Speak");
    spoken.push_back(cp932::fromWide(text));
    open_.push_back(streamNumber);
}

void ScriptedEngine::doSkip(std::string_view itemType, int count)
{
    calls.push_back("Skip " + std::string(itemType) + " " + std::to_string(count));
    maybeFail("Skip");
    finishSpeaking();
}

void ScriptedEngine::doPrepare(std::u16string_view text)
{
    calls.push_back("Prepare " + cp932::wideToUtf8(text));
}

} // namespace kven::testing
