#include "export/ExportTarget.h"

#include "export/Lyrics.h"
#include "files/Errors.h"
#include "files/FileIo.h"

#include <optional>

namespace kven {
namespace {

class SingleFile final : public ExportTarget {
public:
    SingleFile(std::unique_ptr<AudioSink> sink, std::string lyricsPath, const AudioTags& tags)
        : sink_(std::move(sink)), lyricsPath_(std::move(lyricsPath))
    {
        if (!lyricsPath_.empty())
            lyrics_.emplace(tags);
    }
    void append(std::size_t, const Samples& samples) override { sink_->append(samples); }
    void cue(std::size_t, std::string_view text) override
    {
        if (lyrics_)
            lyrics_->add(sink_->sampleCount(), text);
    }
    void finish() override
    {
        if (!lyrics_) {
            sink_->finish();
            return;
        }
        // Both complete on the disk before either is put in place.
        AtomicFile lyrics(lyricsPath_);
        if (lyrics.open() != AtomicFile::Opened::ok || !lyrics.write(lyrics_->text()) || !lyrics.seal())
            throw KvenError(msgWriteFailed(lyricsPath_));
        sink_->finish();
        if (!lyrics.commit())
            throw KvenError(msgCannotCreate(lyricsPath_));
    }

private:
    std::unique_ptr<AudioSink> sink_;
    std::string lyricsPath_;
    std::optional<LyricsTrack> lyrics_;
};

} // namespace

std::unique_ptr<ExportTarget> singleFileTarget(std::unique_ptr<AudioSink> sink, std::string lyricsPath,
                                               const AudioTags& tags)
{
    return std::make_unique<SingleFile>(std::move(sink), std::move(lyricsPath), tags);
}

} // namespace kven
