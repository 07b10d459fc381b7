#include "export/ExportTarget.h"

namespace kven {
namespace {

class SingleFile final : public ExportTarget {
public:
    explicit SingleFile(std::unique_ptr<AudioSink> sink) : sink_(std::move(sink)) {}
    void append(std::size_t, const Samples& samples) override { sink_->append(samples); }
    void finish() override { sink_->finish(); }

private:
    std::unique_ptr<AudioSink> sink_;
};

} // namespace

std::unique_ptr<ExportTarget> singleFileTarget(std::unique_ptr<AudioSink> sink)
{
    return std::make_unique<SingleFile>(std::move(sink));
}

} // namespace kven
