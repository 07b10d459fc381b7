#pragma once
// The synthesizer as a subprocess: where it and its voices are, and one call of it per piece
// of text. The text goes to its standard input only, never to a command line, and no shell
// is involved.

#include "speech/SpeechEngine.h"
#include "speech/Wav.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kven {

struct OpenJTalkSetup {
    std::string executable = "/usr/bin/open_jtalk";
    std::string dictionary = "/var/lib/mecab/dic/open-jtalk/naist-jdic";
    // Searched in this order, each with its subfolders.
    std::vector<std::string> voiceFolders;
    std::chrono::milliseconds timeout{30000};

    // The voice folder beside the executables (or installed beside them), /usr/share/hts-voice
    // and $KVEN_VOICES when it is set.
    static OpenJTalkSetup standard();
};

class OpenJTalkVoice : public VoiceToken {
public:
    OpenJTalkVoice(std::string path, std::u16string description)
        : path_(std::move(path)), description_(std::move(description))
    {
    }
    std::u16string description(int) const override { return description_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::u16string description_;
};

// A readable name for a voice file's name without its extension: "mei_normal" gives
// "mei (normal)", "nitech_jp_atr503_m001" gives "nitech m001".
std::string voiceDescription(std::string_view stem);

// One voice per .htsvoice file under the folders (a file name found again in a later folder
// is the same voice and is passed over),
// "mei_normal" first, then by description and path. Throws KvenError naming the folders
// searched when there is none.
std::vector<std::shared_ptr<const OpenJTalkVoice>> findVoices(const std::vector<std::string>& folders);

// The settings of one synthesis: they decide the audio together with the text.
struct Voicing {
    std::string voicePath;
    std::string speed; // as speedForRate writes it
    bool operator==(const Voicing&) const = default;
};

// Runs the synthesizer once on one piece (see synthesisPieces) and returns its samples,
// empty when the piece has nothing to pronounce. Returns nothing when `cancel` became true
// (the subprocess is killed at once). Throws KvenError when the synthesizer fails, crashes,
// cannot be started, or runs past the set-up's timeout.
std::optional<Samples> synthesizePiece(const OpenJTalkSetup& setup, const Voicing& voicing, const std::string& text,
                                       const std::atomic<bool>& cancel);

// The synthesizer pads every call with about 0.3 s of silence at each end. An utterance keeps
// only a little at its two ends, so the pause the listener hears between utterances is the
// reading step's; where it was split into pieces, a joint keeps a short pause, as at a comma.
inline constexpr int kEdgeSilenceMs = 20;
inline constexpr int kJointSilenceMs = 80;

// Turns one utterance into sound: synthesizes its pieces one after the other, trims each by
// the rule above and hands each to `take` with its index, in order (empty when the piece has
// nothing to pronounce). Returns false, having stopped, once `cancel` becomes true. Throws
// KvenError as synthesizePiece does.
bool synthesizeUtterance(const OpenJTalkSetup& setup, const Voicing& voicing, const std::vector<std::string>& pieces,
                         const std::atomic<bool>& cancel, const std::function<void(std::size_t, Samples)>& take);

// synthesizeUtterance on a thread of its own, so that the first piece can play while the
// next is made.
class PieceSynthesis {
public:
    PieceSynthesis(const OpenJTalkSetup& setup, Voicing voicing, std::vector<std::string> pieces);
    // Cancels and waits for the thread.
    ~PieceSynthesis();
    PieceSynthesis(const PieceSynthesis&) = delete;
    PieceSynthesis& operator=(const PieceSynthesis&) = delete;

    std::size_t size() const { return pieces_.size(); }
    const Voicing& voicing() const { return voicing_; }
    // Stops the synthesizer and wakes every waiting piece().
    void cancel();
    // Waits for piece `index`: its samples, or nothing once cancelled. Rethrows the failure
    // of that piece or of an earlier one.
    std::optional<Samples> piece(std::size_t index);

private:
    void run();

    const OpenJTalkSetup& setup_;
    Voicing voicing_;
    std::vector<std::string> pieces_;
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<std::optional<Samples>> done_;
    std::size_t doneCount_ = 0;
    std::optional<std::string> failure_;
    std::thread thread_;
};

} // namespace kven
