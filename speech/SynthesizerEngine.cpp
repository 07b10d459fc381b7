#include "speech/SynthesizerEngine.h"

#include "speech/SynthesisText.h"

#include <unistd.h>

namespace kven {

void SynthesizerEngine::doConnect()
{
    if (::access(setup_.executable.c_str(), X_OK) != 0)
        throw KvenError("音声合成 " + setup_.executable + " がありません (パッケージ open-jtalk)");
    if (::access(setup_.dictionary.c_str(), R_OK) != 0)
        throw KvenError("音声合成の辞書 " + setup_.dictionary +
                        " がありません (パッケージ open-jtalk-mecab-naist-jdic)");
    voices_ = findVoices(setup_.voiceFolders);
    voicing_ = {voices_.front()->path(), speedForRate(0)};
    start();
}

void SynthesizerEngine::doSetVoice(const VoiceHandle& voice)
{
    const auto* v = dynamic_cast<const OpenJTalkVoice*>(voice.get());
    if (!v)
        throw KvenError("この音声はこのエンジンのものではありません");
    voicing_.voicePath = v->path();
}

void SynthesizerEngine::doSetRate(int rate)
{
    voicing_.speed = speedForRate(rate);
}

} // namespace kven
