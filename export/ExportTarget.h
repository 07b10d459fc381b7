#pragma once
// The target of an export: one audio file here, one file per chapter in ChapterFiles.h.

#include "export/AudioSink.h"

#include <cstddef>
#include <memory>

namespace kven {

// Where an export's speech goes, utterance after utterance, each with the index of the
// chapter it belongs to; indices never go back.
class ExportTarget {
public:
    virtual ~ExportTarget() = default;
    virtual void append(std::size_t chapter, const Samples& samples) = 0;
    // Completes and puts in place everything written. Throws KvenError on any failure;
    // whatever was not put in place by then is removed with the target.
    virtual void finish() = 0;
    // Without finish(), everything written goes when the target does.
};

// Everything into one file; chapters do not matter.
std::unique_ptr<ExportTarget> singleFileTarget(std::unique_ptr<AudioSink> sink);

} // namespace kven
