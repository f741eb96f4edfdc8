// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/prompts_ahead.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qlm {
namespace {

std::vector<std::string> Pictures(int count) {
    std::vector<std::string> pictures;
    for (int index = 0; index < count; ++index)
        pictures.push_back("p" + std::to_string(index) + ".jpg");
    return pictures;
}

// The folder texts are there, so that a case counts only what it is about.
FolderNames WithFolderTexts() {
    return {{"title.txt", "keywords.txt", "description.txt"}, {}};
}

TemplateSet WebTemplates() {
    TemplateSet templates;
    templates.pic = "<mywebpic>";
    return templates;
}

// The offer comes only past ten boxes, whichever kind of box makes them up.
TEST(PromptsAhead, TenBoxesGoAsUsualAndElevenOfferAnotherWay) {
    struct Case {
        const char* what;
        int pictures;
        bool with_texts;      // every picture has its text
        bool with_thumbnails; // every picture has its thumbnail
        int boxes;
    };
    const Case cases[] = {
        {"ten texts", 10, false, true, 10},      {"eleven texts", 11, false, true, 11},
        {"ten thumbnails", 10, true, false, 10}, {"eleven thumbnails", 11, true, false, 11},
        {"five of each", 5, false, false, 10},   {"six of each", 6, false, false, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FolderNames names = WithFolderTexts();
        for (int index = 0; index < c.pictures; ++index) {
            const std::string base = "p" + std::to_string(index);
            names.files.insert(base + ".jpg");
            if (c.with_texts)
                names.files.insert(base + ".txt");
            if (c.with_thumbnails)
                names.files.insert("t_" + base + ".jpg");
        }
        const PromptsAhead ahead = CountPromptsAhead(names, Pictures(c.pictures), OptionFlags{}, {});
        EXPECT_EQ(ahead.boxes, c.boxes);
        EXPECT_EQ(OffersOtherWay(ahead), c.boxes > kMostBoxesWithoutOffer);
    }
}

// A flag that is off takes its boxes out of the count; the missing thumbnails are still named.
TEST(PromptsAhead, FlagsDecideWhichBoxesCount) {
    struct Case {
        const char* what;
        OptionFlags flags;
        int texts;
        int boxes;
    };
    OptionFlags no_alt, no_warn, no_folder_texts, none;
    no_alt.alt = false;
    no_warn.warn = false;
    no_folder_texts.keywords = no_folder_texts.description = false;
    none.alt = none.warn = none.keywords = none.description = false;
    const Case cases[] = {
        {"all on", OptionFlags{}, 3 + 4, 3 + 4 + 4},
        {"no texts asked", no_alt, 3, 3 + 4},
        {"no thumbnail warnings", no_warn, 3 + 4, 3 + 4},
        {"only the title asked of the folder", no_folder_texts, 1 + 4, 1 + 4 + 4},
        {"all off: the title is still asked", none, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PromptsAhead ahead = CountPromptsAhead({}, Pictures(4), c.flags, {});
        EXPECT_EQ(ahead.missing_texts, c.texts);
        EXPECT_EQ(ahead.missing_thumbnails, 4);
        EXPECT_EQ(ahead.boxes, c.boxes);
    }
}

// Companions are found by the names the run looks for: a shared text file is asked for once, a
// thumbnail as JPEG under its own name, and only the folder's exact names count.
TEST(PromptsAhead, CompanionsCountByTheNamesTheRunLooksFor) {
    FolderNames names = WithFolderTexts();
    names.files.insert({"a.txt", "t_a.jpg", "T_b.png", "c.TXT"});
    const std::vector<std::string> pictures = {"a.png", "b.png", "b.gif", "c.jpg"};
    OptionFlags flags;
    PromptsAhead ahead = CountPromptsAhead(names, pictures, flags, {});
    EXPECT_EQ(ahead.missing_texts, 2); // b.txt once for both b pictures, c.txt
    EXPECT_EQ(ahead.missing_thumbnails, 4);
    flags.thumbs_jpg = true;
    ahead = CountPromptsAhead(names, pictures, flags, {});
    EXPECT_EQ(ahead.missing_thumbnails, 3); // a.png has t_a.jpg
}

// Web copies count only for templates that show them, and a picture counts as missing them when
// none of its own copies is there: a copy of a picture of another extension or name does not do.
TEST(PromptsAhead, WebCopiesCountOnlyForTemplatesThatShowThem) {
    FolderNames names = WithFolderTexts();
    names.web_copies = {"a_800.jpg", "a_1600.jpg", "b_800.png", "c_800_1600.jpg", "d.jpg", "e_x.jpg"};
    const std::vector<std::string> pictures = {"a.jpg", "b.jpg", "c.jpg", "c_800.jpg", "d.jpg", "e.jpg"};
    EXPECT_EQ(CountPromptsAhead(names, pictures, OptionFlags{}, {}).missing_web_copies, 0);
    const PromptsAhead ahead = CountPromptsAhead(names, pictures, OptionFlags{}, WebTemplates());
    EXPECT_EQ(ahead.missing_web_copies, 4); // b, c, d, e; c_800.jpg has its copy
    // Web copies are no boxes: the run shows no question or warning for them.
    EXPECT_EQ(ahead.boxes, ahead.missing_texts + ahead.missing_thumbnails);
    TemplateSet entries_only;
    entries_only.main_rep = "<mywebsrcset>";
    EXPECT_EQ(CountPromptsAhead(names, pictures, OptionFlags{}, entries_only).missing_web_copies, 4);
}

} // namespace
} // namespace qlm
