#include "core/folder_listing.h"

#include "platform/globals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace qlm;
using qlm::platform::tDirEntry;
using qlm::platform::tGetDirList;

namespace {

// The name order follows the user's locale; the tests run in the plain one, which stands for
// users who have set none.
const bool kPlainLocale = setenv("LC_ALL", "C.UTF-8", 1) == 0;

// A fresh folder for one test, removed with everything in it afterwards.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "qlm-listing-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string Path() const { return path_ + "/"; }
    void Make(const std::string& name) const { std::ofstream(Path() + name) << "x"; }
    void MakeFolder(const std::string& name) const { fs::create_directories(Path() + name); }

  private:
    std::string path_;
};

using Listing = std::set<std::pair<std::string, int>>;

std::vector<std::string> Captions(const std::vector<ListEntry>& entries) {
    std::vector<std::string> captions;
    for (const ListEntry& entry : entries)
        captions.push_back(entry.caption);
    return captions;
}

tDirEntry Record(const char* name, bool folder) {
    tDirEntry entry;
    std::snprintf(entry.Name, sizeof entry.Name, "%s", name);
    entry.Attr = folder ? platform::kAttrDirectory : 0;
    return entry;
}

int Sign(int value) {
    return (value > 0) - (value < 0);
}

} // namespace

TEST(HasPictureExtension, KnowsTheFourExtensionsInAnyCase) {
    for (const char* name : {"bild.JPG", "bild.jpg", "bild.jpeg", "Bild.Png", "a.gif", "x.y.JpEg", ".jpg"})
        EXPECT_TRUE(HasPictureExtension(name)) << name;
    for (const char* name :
         {"bild.jpe", "bild.bmp", "info.txt", "jpg", "bild.jpg.txt", "bild.", "bild_jpg", ""})
        EXPECT_FALSE(HasPictureExtension(name)) << name;
}

TEST(FilterListing, ShowsFoldersAndPicturesButNoThumbnails) {
    TempFolder folder;
    for (const char* file : {"bild.JPG", "bild.jpeg", "Bild.Png", "a.gif", ".versteckt.jpg", "t_bild.jpg",
                             "T_BILD.JPG", "t_", "bild.jpe", "bild.bmp", "info.txt", "noext"})
        folder.Make(file);
    for (const char* sub : {"urlaub.jpg", ".hidden", "sub", "t_alt", "T_X", "t", "tx_y"})
        folder.MakeFolder(sub);
    fs::create_directory_symlink("sub", folder.Path() + "verweis");

    tGetDirList search;
    ASSERT_EQ(search.GetDirList(folder.Path() + "*.*"), 0);
    std::vector<ListEntry> entries = FilterListing(search, folder.Path());
    Listing listed;
    for (const ListEntry& entry : entries)
        listed.emplace(entry.caption, entry.kind);
    EXPECT_EQ(entries.size(), listed.size());
    EXPECT_EQ(listed, (Listing{{"..", kEntryParent},
                               {"urlaub.jpg", kEntryFolder},
                               {".hidden", kEntryFolder},
                               {"sub", kEntryFolder},
                               {"t", kEntryFolder},
                               {"tx_y", kEntryFolder},
                               {"verweis", kEntryFolder},
                               {"bild.JPG", kEntryPicture},
                               {"bild.jpeg", kEntryPicture},
                               {"Bild.Png", kEntryPicture},
                               {"a.gif", kEntryPicture},
                               {".versteckt.jpg", kEntryPicture}}));
}

TEST(FilterListing, KeepsTheOrderOfTheSearch) {
    tDirEntry block[] = {Record("z.png", false), Record("..", true), Record("b", true), Record(".", true),
                         Record("a.gif", false)};
    tGetDirList search;
    search.SetData(5, block);
    std::vector<ListEntry> entries = FilterListing(search, "/home/u/");
    EXPECT_EQ(Captions(entries), (std::vector<std::string>{"z.png", "..", "b", "a.gif"}));
}

TEST(FilterListing, TheRootHasNoParent) {
    tDirEntry block[] = {Record(".", true), Record("..", true), Record("home", true)};
    for (const char* root : {"/", "//", "/./", "/../"}) {
        tGetDirList search;
        search.SetData(3, block);
        EXPECT_EQ(Captions(FilterListing(search, root)), std::vector<std::string>{"home"}) << root;
    }

    tGetDirList search;
    ASSERT_EQ(search.GetDirList("/*.*"), 0);
    for (const ListEntry& entry : FilterListing(search, "/")) {
        EXPECT_NE(entry.caption, "..");
        EXPECT_NE(entry.kind, kEntryParent);
    }
}

TEST(FilterListing, AnEmptyFolderShowsOnlyTheParent) {
    TempFolder folder;
    tGetDirList search;
    ASSERT_EQ(search.GetDirList(folder.Path() + "*.*"), 0);
    std::vector<ListEntry> entries = FilterListing(search, folder.Path());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].caption, "..");
    EXPECT_EQ(entries[0].kind, kEntryParent);
}

struct OrderCase {
    const char* what;
    std::vector<ListEntry> entries;
    std::vector<std::string> sorted;
};

void PrintTo(const OrderCase& c, std::ostream* os) {
    *os << c.what;
}

class SortEntriesTest : public testing::TestWithParam<OrderCase> {};

TEST_P(SortEntriesTest, ListsParentFoldersThenPictures) {
    ASSERT_TRUE(kPlainLocale);
    std::vector<ListEntry> entries = GetParam().entries;
    // Whatever order the search gave, the list order is the same.
    std::mt19937 shuffle(7);
    for (int round = 0; round < 5; ++round) {
        std::shuffle(entries.begin(), entries.end(), shuffle);
        SortEntries(entries);
        EXPECT_EQ(Captions(entries), GetParam().sorted);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Orders, SortEntriesTest,
    testing::Values(
        OrderCase{"mixed case names",
                  {{"b", kEntryFolder},
                   {"z.jpg", kEntryPicture},
                   {"A", kEntryFolder},
                   {"..", kEntryParent},
                   {"B.GIF", kEntryPicture},
                   {"c", kEntryFolder}},
                  {"..", "A", "b", "c", "B.GIF", "z.jpg"}},
        OrderCase{"a folder named like a picture",
                  {{"a.jpg", kEntryPicture}, {"urlaub.jpg", kEntryFolder}, {"Zoo", kEntryFolder}},
                  {"urlaub.jpg", "Zoo", "a.jpg"}},
        OrderCase{"names equal but for case",
                  {{"bild.jpg", kEntryPicture}, {"BILD.JPG", kEntryPicture}, {"Bild.jpg", kEntryPicture}},
                  {"BILD.JPG", "Bild.jpg", "bild.jpg"}},
        OrderCase{"umlauts among their letters",
                  {{"Zaun", kEntryFolder},
                   {"\xC3\x84pfel", kEntryFolder},
                   {"Birnen", kEntryFolder},
                   {"apfel", kEntryFolder}},
                  {"apfel", "\xC3\x84pfel", "Birnen", "Zaun"}},
        OrderCase{"names that are not UTF-8",
                  {{"Bat", kEntryFolder}, {"B\xE4ren", kEntryFolder}, {"Bar", kEntryFolder}},
                  {"Bar", "B\xE4ren", "Bat"}},
        OrderCase{"drives by name",
                  {{"/media/u/stick/", kEntryDrive}, {"/", kEntryDrive}, {"/home/u/", kEntryDrive}},
                  {"/", "/home/u/", "/media/u/stick/"}}),
    [](const testing::TestParamInfo<OrderCase>& row) {
        std::string name;
        for (const char* c = row.param.what; *c != '\0'; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST(CompareEntries, FollowsTheKindTable) {
    const ListEntry parent{"..", kEntryParent};
    const ListEntry folder{"zz", kEntryFolder};
    const ListEntry drive{"/zz/", kEntryDrive};
    const ListEntry picture{"aa.jpg", kEntryPicture};
    struct Case {
        ListEntry first;
        ListEntry second;
        int sign;
    };
    for (const Case& c : {Case{parent, parent, 0}, Case{parent, folder, -1}, Case{parent, drive, -1},
                          Case{parent, picture, -1}, Case{folder, parent, 1}, Case{folder, picture, -1},
                          Case{drive, parent, 1}, Case{drive, picture, -1}, Case{picture, parent, 1},
                          Case{picture, folder, 1}, Case{picture, drive, 1}}) {
        EXPECT_EQ(Sign(CompareEntries(c.first, c.second)), c.sign)
            << c.first.caption << " " << c.second.caption;
    }
}

TEST(CompareEntries, IsATotalOrderThatSortingAgreesWith) {
    std::vector<ListEntry> entries;
    for (const char* name : {"a",
                             "A",
                             "b",
                             "B",
                             "\xC3\xA4",
                             "\xE4",
                             "\xFF",
                             "\xC3",
                             "\xC3\x28",
                             "Bar",
                             "B\xE4ren",
                             "B\xC3\xA4ren",
                             "Baeren",
                             "10",
                             "9",
                             "",
                             "-",
                             "_x",
                             "\xED\xA0\x80",
                             "\xF4\x90\x80\x80"})
        entries.push_back({name, kEntryFolder});

    for (const ListEntry& a : entries) {
        EXPECT_EQ(CompareEntries(a, a), 0);
        for (const ListEntry& b : entries) {
            const int ab = Sign(CompareEntries(a, b));
            EXPECT_EQ(ab, -Sign(CompareEntries(b, a)));
            if (&a != &b) {
                EXPECT_NE(ab, 0) << "distinct names must not tie";
            }
            for (const ListEntry& c : entries) {
                if (ab < 0 && CompareEntries(b, c) < 0) {
                    EXPECT_LT(CompareEntries(a, c), 0) << "not transitive";
                }
            }
        }
    }

    std::vector<ListEntry> sorted = entries;
    SortEntries(sorted);
    for (std::size_t i = 1; i < sorted.size(); ++i)
        EXPECT_LT(CompareEntries(sorted[i - 1], sorted[i]), 0) << i;
}

struct EnterCase {
    std::string current;
    std::string caption;
    std::string entered;
};

void PrintTo(const EnterCase& c, std::ostream* os) {
    *os << c.current << " + " << c.caption;
}

class EnterFolderTest : public testing::TestWithParam<EnterCase> {};

TEST_P(EnterFolderTest, GivesTheFullPathWithItsSeparator) {
    EXPECT_EQ(EnterFolder(GetParam().current, GetParam().caption), GetParam().entered);
}

INSTANTIATE_TEST_SUITE_P(Paths, EnterFolderTest,
                         testing::Values(EnterCase{"/home/u/", "Bilder", "/home/u/Bilder/"},
                                         EnterCase{"/home/u/Bilder/", "..", "/home/u/"},
                                         EnterCase{"/home/", "..", "/"}, EnterCase{"/", "..", "/"},
                                         EnterCase{"/", "home", "/home/"},
                                         EnterCase{"/media/u/USB Stick/", "..", "/media/u/"},
                                         EnterCase{"/home/u", "Bilder", "/home/u/Bilder/"},
                                         EnterCase{"/home/u/", "urlaub.jpg", "/home/u/urlaub.jpg/"}));

TEST(EnterFolder, TheParentOfALinkedFolderIsWhereTheLinkIs) {
    TempFolder folder;
    folder.MakeFolder("real/inner");
    fs::create_directory_symlink("real/inner", folder.Path() + "link");
    std::string inside = EnterFolder(folder.Path(), "link");
    EXPECT_EQ(inside, folder.Path() + "link/");
    EXPECT_EQ(EnterFolder(inside, ".."), folder.Path());
}
