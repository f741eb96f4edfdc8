// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/folder_listing.h"

#include "core/gallery_names.h"
#include "core/picture_loader.h"

#include "platform/globals.h"
#include "platform/name_listing.h"
#include "platform/temporary_files.h"
#include "platform/text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace qlm {

namespace {

// Rank of a kind in the list: the parent first, then folders (or drives, which never share a
// list with folders), then pictures.
int Rank(EntryKind kind) {
    switch (kind) {
    case EntryKind::Parent:
        return 0;
    case EntryKind::Folder:
    case EntryKind::Drive:
        return 1;
    default:
        return 2;
    }
}

// Names are UTF-8 as a rule; a name that is not (say from an old disk) is read as Windows-1252,
// so that every name has one text and the order stays consistent.
icu::UnicodeString CaptionText(const std::string& caption) {
    const std::string text = platform::TextAsUtf8(caption);
    return icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
}

// The collator of the user's locale at secondary strength, so that case does not count but
// accents do. ICU gives users without a locale "en_US_POSIX", which orders by code point and so
// by case; they get the root order instead.
std::unique_ptr<icu::Collator> MakeCollator() {
    icu::Locale locale = icu::Locale::getDefault();
    if (std::strcmp(locale.getVariant(), "POSIX") == 0)
        locale = icu::Locale::getRoot();
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(locale, status));
    if (U_FAILURE(status))
        return nullptr;
    collator->setStrength(icu::Collator::SECONDARY);
    return collator;
}

icu::Collator* SharedCollator() {
    thread_local std::unique_ptr<icu::Collator> collator = MakeCollator();
    return collator.get();
}

// A byte string whose plain order is the name order; without a collator, the ASCII upper case.
std::string NameKey(icu::Collator* collator, const std::string& caption) {
    if (collator == nullptr)
        return platform::AsciiUpper(caption);
    icu::UnicodeString text = CaptionText(caption);
    std::string key(64, '\0');
    std::int32_t length = collator->getSortKey(text, reinterpret_cast<std::uint8_t*>(key.data()),
                                               static_cast<std::int32_t>(key.size()));
    if (length > static_cast<std::int32_t>(key.size())) {
        key.resize(static_cast<std::size_t>(length));
        length = collator->getSortKey(text, reinterpret_cast<std::uint8_t*>(key.data()), length);
    }
    key.resize(static_cast<std::size_t>(std::max<std::int32_t>(length, 0)));
    return key;
}

int Sign(int value) {
    return (value > 0) - (value < 0);
}

// Names the collator holds equal ("a" and "A") are ordered by their bytes, so that the order is
// total and the same on every run.
int CompareNames(icu::Collator* collator, const std::string& first, const std::string& second) {
    int by_name = 0;
    if (collator != nullptr) {
        UErrorCode status = U_ZERO_ERROR;
        by_name = collator->compare(CaptionText(first), CaptionText(second), status);
        if (U_FAILURE(status))
            by_name = 0;
    } else {
        by_name = platform::AsciiUpper(first).compare(platform::AsciiUpper(second));
    }
    return by_name != 0 ? Sign(by_name) : Sign(first.compare(second));
}

} // namespace

bool HasPictureExtension(std::string_view name) {
    // The list shows what the picture type can decode.
    return FormatForFileName(name) != PictureFormat::Unknown;
}

namespace {

// Names starting with "t_" in any case are the thumbnails, and folders of that name go with them.
bool IsThumbnailName(std::string_view name) {
    return name.size() >= 2 && platform::AsciiUpper(name[0]) == 'T' && name[1] == '_';
}

// An entry that the folder list shows as a picture.
bool IsListedPicture(std::string_view name, bool is_folder) {
    return !is_folder && name != "." && !IsThumbnailName(name) && HasPictureExtension(name);
}

// Pictures alone in list order: all of one rank, so by name key, equal keys by their bytes. The
// keys are kept in one block and the names are ordered through indexes, so that sorting a large
// folder needs little more memory than its names.
void SortNames(std::vector<std::string>& names) {
    icu::Collator* collator = SharedCollator();
    std::string keys;
    std::vector<std::size_t> key_start;
    key_start.reserve(names.size() + 1);
    for (const std::string& name : names) {
        key_start.push_back(keys.size());
        keys += NameKey(collator, name);
    }
    key_start.push_back(keys.size());
    const auto key = [&](std::size_t i) {
        return std::string_view(keys).substr(key_start[i], key_start[i + 1] - key_start[i]);
    };
    std::vector<std::size_t> order(names.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int by_key = key(a).compare(key(b));
        return by_key != 0 ? by_key < 0 : names[a] < names[b];
    });
    std::vector<std::string> sorted;
    sorted.reserve(names.size());
    for (std::size_t i : order)
        sorted.push_back(std::move(names[i]));
    names = std::move(sorted);
}

} // namespace

std::vector<ListEntry> FilterListing(const platform::tGetDirList& search, const std::string& folder) {
    // Linux lists ".." in the root too, where it leads nowhere; the drive button is the way out.
    const bool in_root = platform::GetFullPathName(folder) == std::string(1, platform::kPathSeparator);
    std::vector<ListEntry> entries;
    for (int i = 0; i < search.Count(); ++i) {
        const platform::tDirEntry& found = search.GetEntry(i);
        std::string name(found.Name, strnlen(found.Name, sizeof found.Name));
        const bool is_folder = (found.Attr & platform::kAttrDirectory) != 0;
        if (name == "." || IsThumbnailName(name))
            continue;
        if (!is_folder && !HasPictureExtension(name))
            continue;
        if (name == "..") {
            if (!in_root)
                entries.push_back({name, EntryKind::Parent});
        } else {
            entries.push_back({name, is_folder ? EntryKind::Folder : EntryKind::Picture});
        }
    }
    return entries;
}

int CompareEntries(const ListEntry& first, const ListEntry& second) {
    const int first_rank = Rank(first.kind);
    const int second_rank = Rank(second.kind);
    if (first_rank != second_rank)
        return first_rank < second_rank ? -1 : 1;
    if (first.kind == EntryKind::Parent)
        return 0;
    return CompareNames(SharedCollator(), first.caption, second.caption);
}

void SortEntries(std::vector<ListEntry>& entries) {
    // The collation keys are made once per entry rather than once per comparison.
    struct Keyed {
        int rank;
        std::string key;
        ListEntry entry;
    };
    icu::Collator* collator = SharedCollator();
    std::vector<Keyed> keyed;
    keyed.reserve(entries.size());
    for (ListEntry& entry : entries) {
        std::string key = entry.kind == EntryKind::Parent ? std::string() : NameKey(collator, entry.caption);
        keyed.push_back({Rank(entry.kind), std::move(key), std::move(entry)});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        if (a.key != b.key)
            return a.key < b.key;
        return a.entry.caption < b.entry.caption;
    });
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i] = std::move(keyed[i].entry);
}

int ListFolder(const std::string& folder, std::vector<ListEntry>& entries) {
    entries.clear();
    platform::tGetDirList search;
    if (const int code = search.GetDirList(folder + "*.*"); code != 0)
        return code;
    entries = FilterListing(search, folder);
    SortEntries(entries);
    return 0;
}

// The pictures keep only their names, and the kind of an entry is asked of the file system only
// where the folder's record does not tell it: a run over a large folder pays for its pictures,
// not for the fixed records the folder list shows.
int ListPictures(const std::string& folder, std::vector<std::string>& pictures,
                 ListedNames* texts_and_pages) {
    pictures.clear();
    const int code = platform::ListNames(folder, [&](std::string_view name, bool is_folder) {
        if (IsListedPicture(name, is_folder))
            pictures.emplace_back(name);
        else if (texts_and_pages != nullptr && (name.ends_with(".txt") || name.ends_with(".html")))
            texts_and_pages->Add(name);
        if (texts_and_pages != nullptr && name.starts_with('.') &&
            (platform::ParseTemporaryName(name) || platform::IsOlderTemporaryName(name)))
            texts_and_pages->AddTemporary();
    });
    if (code != 0) {
        pictures.clear();
        return code;
    }
    SortNames(pictures);
    return 0;
}

std::string EnterFolder(const std::string& current, const std::string& caption) {
    return platform::AddBackslash(platform::GetFullPathName(platform::AddBackslash(current) + caption));
}

} // namespace qlm
