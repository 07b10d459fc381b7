#include "speech/SpeechEngine.h"

namespace kven {

void SpeechEngine::ensureConnected()
{
    if (connected_)
        return;
    doConnect();
    connected_ = true;
}

void SpeechEngine::setEventInterests(int interests)
{
    ensureConnected();
    doSetEventInterests(interests);
}

std::vector<VoiceHandle> SpeechEngine::installedVoices(std::string_view, std::string_view)
{
    ensureConnected();
    return doInstalledVoices();
}

void SpeechEngine::setVoice(const VoiceHandle& voice)
{
    ensureConnected();
    doSetVoice(voice);
}

void SpeechEngine::setRate(int rate)
{
    ensureConnected();
    doSetRate(rate);
}

int SpeechEngine::speak(std::u16string_view text, int flags)
{
    ensureConnected();
    const int stream = nextStream_ + 1;
    doSpeak(text, flags, stream);
    nextStream_ = stream;
    return stream;
}

void SpeechEngine::skip(std::string_view itemType, int count)
{
    ensureConnected();
    doSkip(itemType, count);
}

void SpeechEngine::prepare(std::u16string_view text)
{
    if (connected_)
        doPrepare(text);
}

void SpeechEngine::reportFailure(std::string message)
{
    std::weak_ptr<SpeechEngine*> weak = self_;
    loop_.post([weak, message = std::move(message)] {
        if (weak.lock())
            throw KvenError(message);
    });
}

void SpeechEngine::failStream(int streamNumber, std::string message, std::string detail)
{
    std::weak_ptr<SpeechEngine*> weak = self_;
    loop_.post([weak, streamNumber, message = std::move(message), detail = std::move(detail)] {
        auto self = weak.lock();
        if (!self)
            return;
        if ((*self)->onStreamFailed_)
            (*self)->onStreamFailed_(streamNumber);
        if ((*self)->onEndStream_)
            (*self)->onEndStream_(streamNumber, 0);
        throw KvenError(message, detail);
    });
}

void SpeechEngine::endStream(int streamNumber, std::int64_t streamPosition)
{
    std::weak_ptr<SpeechEngine*> weak = self_;
    loop_.post([weak, streamNumber, streamPosition] {
        if (auto self = weak.lock(); self && (*self)->onEndStream_)
            (*self)->onEndStream_(streamNumber, streamPosition);
    });
}

} // namespace kven
