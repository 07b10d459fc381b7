#include "export/AudioSink.h"

#include "files/Errors.h"

#include <cerrno>

namespace kven {

EncodingSink::EncodingSink(const std::string& path, std::string shownPath) : path_(std::move(shownPath)), file_(path)
{
    switch (file_.open()) {
    case AtomicFile::Opened::ok: break;
    case AtomicFile::Opened::notRegularFile: throw KvenError(msgNotRegularFile(path_));
    case AtomicFile::Opened::failed: throw KvenError(msgCannotCreate(path_));
    }
}

void EncodingSink::append(const Samples& samples)
{
    if (!encoding_)
        throw KvenError(msgCannotCreate(path_));
    if (!encode(samples) || failedErrno_)
        fail();
    samples_ += samples.size();
}

void EncodingSink::seal()
{
    if (encoding_) {
        // Flushes the encoder and writes what a file ends with.
        encoding_ = false;
        if (!finishEncoder() || failedErrno_)
            fail();
    }
    if (!file_.seal())
        fail();
}

void EncodingSink::commit()
{
    seal();
    if (!file_.commit())
        throw KvenError(msgCannotCreate(path_));
}

bool EncodingSink::put(std::string_view bytes, std::optional<std::uint64_t> offset)
{
    if (failedErrno_)
        return false;
    if (!(offset ? file_.writeAt(*offset, bytes) : file_.write(bytes))) {
        failedErrno_ = errno != 0 ? errno : EIO;
        return false;
    }
    return true;
}

void EncodingSink::fail()
{
    if (failedErrno_)
        errno = failedErrno_;
    const std::string message = msgWriteFailed(path_);
    if (encoding_)
        dropEncoder();
    encoding_ = false;
    file_.discard();
    throw KvenError(message);
}

} // namespace kven
