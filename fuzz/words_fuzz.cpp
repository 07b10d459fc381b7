// The reading dictionary file from arbitrary bytes: parsing never fails, every line it skips is
// reported once, and the dictionary it gives applies to any text without fault.

#include "fuzz/FuzzSupport.h"
#include "settings/DictionaryFile.h"
#include "text/TextOps.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using kven::fuzzing::check;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const kven::DictionaryFile words = kven::parseDictionaryFile(bytes, "KVEN.dic");
    check(words.dictionary != nullptr, "a dictionary, if an empty one");
    // Lines end at CR LF, CR or LF, as the file is read.
    const std::size_t lines = kven::splitLines(bytes).size();
    check(words.problems.size() <= lines, "at most one problem per line");
    check(words.dictionary->size() + words.problems.size() <= lines, "each line an entry or a problem at most");
    // The input again, as a text to read: lookups stay inside it.
    (void)words.dictionary->apply(bytes);
    return 0;
}
