#pragma once
// Which entries of a folder the browser list shows, of which kind, and in which order.

#include <string>
#include <vector>

namespace qlm::platform {
class tGetDirList;
}

namespace qlm {

// Entry kinds, held as the list icon index.
enum EntryKind : int { kEntryDrive = 0, kEntryFolder = 1, kEntryParent = 2, kEntryPicture = -1 };

struct ListEntry {
    std::string caption; // bare name (bytes as the file system gives them) or drive path
    int kind = kEntryPicture;
};

// True for the extensions ".JPG", ".GIF", ".JPEG", ".PNG" in any case.
bool HasPictureExtension(const std::string& name);

// The entries of one search that the list shows, in the search's order: no ".", no names starting
// with "t_" in any case, only folders and pictures; ".." is the parent entry, except in "/".
std::vector<ListEntry> FilterListing(const platform::tGetDirList& search, const std::string& folder);

// List order: parent, folders by name, pictures by name (drives by name); by name is a
// locale-aware comparison that ignores case. Negative, 0 or positive.
int CompareEntries(const ListEntry& first, const ListEntry& second);

void SortEntries(std::vector<ListEntry>& entries);

// The folder entered from `current` by a folder or parent entry: the lexical full path of
// current + caption, ending in "/".
std::string EnterFolder(const std::string& current, const std::string& caption);

} // namespace qlm
