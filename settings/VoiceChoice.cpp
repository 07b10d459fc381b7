#include "settings/VoiceChoice.h"

#include "text/Cp932.h"

#include <algorithm>
#include <string>

namespace kven {

std::vector<VoiceHandle> setUpVoiceList(SpeechEngine& engine, Session& session, int index, NegativeVoiceIndex negative)
{
    engine.setEventInterests(kAllEvents);
    std::vector<VoiceHandle> voices = engine.installedVoices();
    std::vector<std::string> descriptions;
    for (const VoiceHandle& voice : voices)
        descriptions.push_back(cp932::fromWide(voice->description(0)));
    session.setVoices(descriptions);
    if (index < 0 && negative == NegativeVoiceIndex::selectsFirst)
        index = 0;
    session.setVoiceIndex(std::min(index, static_cast<int>(voices.size()) - 1));
    // The window takes only an index inside its list.
    if (const int selected = session.voiceIndex(); selected >= 0)
        engine.setVoice(voices[static_cast<std::size_t>(selected)]);
    return voices;
}

std::vector<VoiceHandle> applyVoiceChoice(SpeechEngine& engine, Session& session, int index)
{
    if (session.speed() != 0)
        engine.setRate(session.speed());
    return setUpVoiceList(engine, session, index, NegativeVoiceIndex::selectsFirst);
}

} // namespace kven
