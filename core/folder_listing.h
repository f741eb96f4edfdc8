// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which entries of a folder the browser list shows, of which kind, and in which order.

#include "core/gallery_names.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qlm::platform {
class tGetDirList;
}

namespace qlm {

// What a row of the folder list stands for.
enum class EntryKind { Drive, Folder, Parent, Picture };

struct ListEntry {
    std::string caption; // bare name (bytes as the file system gives them) or drive path
    EntryKind kind = EntryKind::Picture;
};

// True for the extensions ".JPG", ".GIF", ".JPEG", ".PNG" in any case.
bool HasPictureExtension(std::string_view name);

// The entries of one search that the list shows, in the search's order: no ".", no names starting
// with "t_" in any case, only folders and pictures; ".." is the parent entry, except in "/".
std::vector<ListEntry> FilterListing(const platform::tGetDirList& search, const std::string& folder);

// List order: parent, folders by name, pictures by name (drives by name); by name is a
// locale-aware comparison that ignores case. Negative, 0 or positive.
int CompareEntries(const ListEntry& first, const ListEntry& second);

void SortEntries(std::vector<ListEntry>& entries);

// Lists `folder` (ending in "/") as the folder list shows it, in list order. 0, or the errno value
// when the folder cannot be listed (`entries` is then empty).
int ListFolder(const std::string& folder, std::vector<ListEntry>& entries);

// The pictures of `folder` in list order, as bare names; 0 or an errno value as ListFolder. With
// `texts_and_pages`, also every name of the folder that ends in ".txt" or ".html", whatever it is,
// and whether any name is one of the program's temporaries.
int ListPictures(const std::string& folder, std::vector<std::string>& pictures,
                 ListedNames* texts_and_pages = nullptr);

// The folder entered from `current` by a folder or parent entry: the lexical full path of
// current + caption, ending in "/".
std::string EnterFolder(const std::string& current, const std::string& caption);

} // namespace qlm
