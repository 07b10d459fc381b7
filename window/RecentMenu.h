#pragma once
// File > Recent documents: the documents read lately, newest first, each by its title and author
// where known and by its file name otherwise, with the share read, filled from the bookmark
// file each time the menu opens.

#include <functional>
#include <string>

class QMenu;

namespace kven {

// Fills `menu` each time it opens with the last ten documents of `bookmarkFile` that are still
// there; choosing one hands its file to `open`.
void bindRecentMenu(QMenu& menu, std::string bookmarkFile, std::function<void(const std::string&)> open);

} // namespace kven
