#include "export/AudioExport.h"

#include "export/ChapterFiles.h"
#include "export/EncoderSinks.h"
#include "export/Lyrics.h"
#include "files/Errors.h"
#include "files/Paths.h"
#include "intake/DocumentOutline.h"
#include "intake/LineText.h"
#include "reading/Reader.h"
#include "reading/Waiter.h"
#include "text/Cp932.h"

namespace kven {
namespace {

constexpr const char* kCancelled = "中断しました";

// `keys` by chapter index, as ExportEngine::plannedKeys gives them.
ExportEngine::TargetMaker targetMaker(const ExportRequest& request, const std::vector<Chapter>& chapters,
                                      const std::vector<std::string>& keys, const AudioTags& tags)
{
    const AudioFormat format = checkRequest(request);
    if (!request.split)
        return [=] {
            return singleFileTarget(openAudioSink(request.path, format, tags, request.bitrate),
                                    request.lyrics ? lyricsPathOf(request.path) : std::string(), tags);
        };
    std::vector<ChapterFile> files;
    for (std::size_t i = 0; i < chapters.size(); ++i)
        files.push_back({chapters[i].title, i < keys.size() ? keys[i] : std::string()});
    return [=, folder = chapterFolderOf(request.path)] {
        return chapterFilesTarget(folder, format, files, tags, request.bitrate, true);
    };
}

} // namespace

AudioFormat checkRequest(const ExportRequest& request)
{
    const std::optional<AudioFormat> format = request.format ? request.format : audioFormatOf(request.path);
    if (!format)
        throw KvenError("音声ファイルの形式は拡張子 .wav .flac .ogg .opus .mp3 のどれかで指定してください: " +
                        request.path);
    if (!canWrite(*format))
        throw KvenError(msgCannotEncode(extensionOf(*format)));
    if (request.bitrate) {
        const std::optional<BitrateRange> range = bitrateRange(*format);
        if (!range)
            throw KvenError(std::string(extensionOf(*format)) + " の形式にはビットレートがありません");
        if (*request.bitrate < range->min || *request.bitrate > range->max)
            throw KvenError(std::string(extensionOf(*format)) + " のビットレートは " + std::to_string(range->min) +
                            " から " + std::to_string(range->max) + " kbit/s です");
    }
    if (request.split && chapterFolderOf(request.path).empty())
        throw KvenError(msgCannotCreate(request.path));
    return *format;
}

std::string chapterFolderOf(const std::string& path)
{
    const std::string folder = path.substr(0, path.size() - extensionOf(path).size());
    // "book/.opus" has no name of its own to give a folder.
    return folder.empty() || folder.back() == '/' ? std::string() : folder;
}

std::vector<std::string> takenOverText(const TakenOver& taken)
{
    std::vector<std::string> lines;
    if (taken.kept > 0)
        lines.push_back("前回までの書き出しから " + std::to_string(taken.kept) + " 章のファイルを引き継ぎました");
    if (taken.setAside > 0) {
        std::string line = "中断した別の書き出し (開始位置などが違うもの) で完成した " +
                           std::to_string(taken.setAside) + " 章のファイルは、消さずに残しました:";
        for (const std::string& folder : taken.setAsideFolders)
            line += " " + folder;
        lines.push_back(line);
    }
    return lines;
}

AudioExport::AudioExport(Session session, ExportRequest request, OpenJTalkSetup setup)
    : session_(std::move(session)), request_(std::move(request)),
      engine_(loop_, std::move(setup), ExportEngine::TargetMaker{}, request_.jobs),
      progress_(std::min(request_.from.value_or(0), session_.text().size()), session_.text().size())
{
    // The same files whatever the window last did: no chunk is a repeat of what it said.
    session_.setSelStart(request_.from.value_or(0));
    session_.setSelLength(0);
    session_.setLastSpoken({});
    engine_.setChapterSource([this] { return chapters_.empty() ? 0 : chapterAt(chapters_, session_.selStart()); });
    // The chunk being handed over is the selection.
    engine_.setLineSource([this] { return shownText(session_.text(), session_.selStart(), session_.selLength()); });
    // The reading step runs to the end of the text and stops there.
    session_.setReading(false);
    if (request_.split)
        engine_.beginPlanning();
}

void AudioExport::cancel()
{
    cancelled_.store(true);
    engine_.cancel();
}

void AudioExport::run(const VoiceSetUp& setUpVoice, const std::function<void()>& tick)
{
    // Here rather than at construction, which the window does on its own thread: finding the
    // chapters of a long book takes a while.
    Outline outline = currentOutline(session_);
    if (request_.split)
        chapters_ = std::move(outline.chapters);
    const AudioTags tags{outline.title, outline.author, outline.title, 0};
    const auto idle = [&] {
        loop_.runOne(std::chrono::milliseconds(100));
        if (tick)
            tick();
    };
    try {
        if (cancelled_)
            throw KvenError(kCancelled);
        engine_.setTarget(targetMaker(request_, chapters_, {}, tags));
        setUpVoice(engine_, session_);
        if (request_.split) {
            Session from = session_;
            readToEnd(false, idle);
            session_ = std::move(from);
            if (cancelled_)
                throw KvenError(kCancelled);
            engine_.setTarget(targetMaker(request_, chapters_, engine_.plannedKeys(), tags));
            engine_.endPlanning();
        }
        readToEnd(true, idle);
        while (!engine_.allWritten() && !cancelled_)
            idle();
        if (cancelled_)
            throw KvenError(kCancelled);
        loop_.runPending();
        engine_.finish();
    } catch (const KvenError&) {
        engine_.abandon();
        if (cancelled_)
            throw KvenError(kCancelled);
        throw;
    }
}

void AudioExport::readToEnd(bool counted, const std::function<void()>& idle)
{
    NoWaiter noWait;
    Reader reader(session_, engine_, noWait);
    // The handlers below reach the reader, which ends with this call.
    struct Unhook {
        ExportEngine& engine;
        ~Unhook()
        {
            engine.setOnEndStream([](int, std::int64_t) {});
            engine.setOnStreamFailed([](int) {});
        }
    } unhook{engine_};
    engine_.setOnEndStream([&](int stream, std::int64_t position) {
        if (counted) {
            // Before the next step: the cursor is just past this utterance's chunk.
            std::lock_guard lock(mutex_);
            progress_.utteranceEnded(session_.selStart());
        }
        reader.endOfStream(stream, position);
    });
    engine_.setOnStreamFailed([&](int stream) { reader.streamFailed(stream); });
    reader.start();
    while (session_.reading() && !cancelled_)
        idle();
    // The events of this pass are not the next one's.
    if (!counted)
        loop_.runPending();
}

AudioExport::Status AudioExport::status() const
{
    Status s;
    s.elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::size_t written = engine_.utterancesWritten();
    {
        std::lock_guard lock(mutex_);
        s.done = progress_.done(written);
    }
    s.left = ExportProgress::timeLeft(s.done, s.elapsed);
    s.speech = engine_.secondsWritten();
    s.takenOver = engine_.takenOver();
    return s;
}

std::string AudioExport::progressLine() const
{
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::size_t written = engine_.utterancesWritten();
    std::lock_guard lock(mutex_);
    return progress_.line(written, elapsed);
}

} // namespace kven
