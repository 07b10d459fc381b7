#pragma once
// Documents for tests that need one without reading a file.

#include "state/Session.h"

#include <string>
#include <utility>

namespace kven::testing {

// The session's text becomes the document `path` (CP932; `file` as the file system names it),
// as a load would name it; the cursor goes to 0.
inline void nameDocument(Session& session, std::string path, std::string file = {})
{
    Document document = session.document();
    document.path = std::move(path);
    document.file = std::move(file);
    session.load(std::move(document));
}

} // namespace kven::testing
