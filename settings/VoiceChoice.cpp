#include "settings/VoiceChoice.h"

#include "text/Cp932.h"

#include <algorithm>
#include <string>

namespace kven {

std::vector<VoiceHandle> setUpVoiceList(SpeechEngine& engine, WindowState& window, int index,
                                        NegativeVoiceIndex negative)
{
    engine.setEventInterests(kAllEvents);
    std::vector<VoiceHandle> voices = engine.installedVoices();
    std::vector<std::string> descriptions;
    for (const VoiceHandle& voice : voices)
        descriptions.push_back(cp932::fromWide(voice->description(0)));
    window.setVoices(descriptions);
    if (index < 0 && negative == NegativeVoiceIndex::selectsFirst)
        index = 0;
    window.setVoiceIndex(std::min(index, static_cast<int>(voices.size()) - 1));
    // The window takes only an index inside its list.
    if (const int selected = window.voiceIndex(); selected >= 0)
        engine.setVoice(voices[static_cast<std::size_t>(selected)]);
    return voices;
}

std::vector<VoiceHandle> applyVoiceChoice(SpeechEngine& engine, WindowState& window, int index)
{
    if (window.speed() != 0)
        engine.setRate(window.speed());
    return setUpVoiceList(engine, window, index, NegativeVoiceIndex::selectsFirst);
}

} // namespace kven
