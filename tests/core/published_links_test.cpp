// SPDX-License-Identifier: GPL-3.0-or-later
// The links publishing follows: what a page or style sheet links, read as a browser reads it, and
// which file of the picture folder each one names.

#include "core/published_links.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>
#include <vector>

namespace {

using qlm::FolderFileOfLink;
using qlm::LinksOfPage;
using qlm::LinksOfStyleSheet;
using Links = std::vector<std::string>;

struct PageCase {
    const char* what;
    const char* html;
    Links links;
};

class LinksOfPageTest : public testing::TestWithParam<PageCase> {};

TEST_P(LinksOfPageTest, FindsWhatABrowserLoads) {
    EXPECT_EQ(LinksOfPage(GetParam().html), GetParam().links);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, LinksOfPageTest,
    testing::Values(
        PageCase{"quotes",
                 "<img src=\"a b.jpg\"><a href='c.html'>x</a><img src=d.png>",
                 {"a b.jpg", "c.html", "d.png"}},
        PageCase{"case", "<IMG SRC=\"a.jpg\"><A HrEf=\"b.html\">", {"a.jpg", "b.html"}},
        PageCase{"blanks around =", "<img alt=\"x\" src = \"a.jpg\" >", {"a.jpg"}},
        PageCase{"references",
                 "<a href=\"Tom&amp;Jerry.jpg\"><img src=\"&#x41;&#66;.png\">",
                 {"Tom&Jerry.jpg", "AB.png"}},
        PageCase{"srcset",
                 "<img srcset=\"qlm-web/a_800.jpg 800w, qlm-web/a_1600.jpg 1600w\" src=\"a.jpg\">",
                 {"qlm-web/a_800.jpg", "qlm-web/a_1600.jpg", "a.jpg"}},
        PageCase{"srcset without descriptors",
                 "<img srcset=\"a.jpg, b.jpg 2x,c,d.jpg\">",
                 {"a.jpg", "b.jpg", "c,d.jpg"}},
        PageCase{"style attribute", "<div style=\"background: url('bg.png')\">", {"bg.png"}},
        PageCase{"style block",
                 "<style>body{background:url(  \"p.gif\" )} i{x:url(q.png)}</style>",
                 {"p.gif", "q.png"}},
        PageCase{"comment", "<!-- <img src=\"secret.jpg\"> --><img src=\"shown.jpg\">", {"shown.jpg"}},
        PageCase{"script",
                 "<script>if (a<b) x.src=\"no.jpg\"; '<img src=no.png>'</script><img src=yes.png>",
                 {"yes.png"}},
        PageCase{"no value", "<input disabled src><img src=\"a.jpg\"/>", {"a.jpg"}},
        PageCase{"other attributes", "<img data-src=\"no.jpg\" alt=\"src=no.png\">", {}},
        PageCase{"text", "a < b and src=\"x.jpg\" in text", {}}),
    [](const testing::TestParamInfo<PageCase>& param_info) {
        std::string name = param_info.param.what;
        for (char& c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(LinksOfStyleSheet, UrlsAndImportsButNotStringsOrComments) {
    EXPECT_EQ(
        LinksOfStyleSheet("@import \"base.css\"; a{b:url(i\\ j.png)} /* url(no.png) */ p::before{content:"
                          "'url(no.gif)'} q{b:URL(k.png)} r{b:myurl(no.jpg)}"),
        (Links{"base.css", "i j.png", "k.png"}));
}

struct LinkCase {
    const char* link;
    const char* base;
    std::optional<std::string> file;
};

class FolderFileOfLinkTest : public testing::TestWithParam<LinkCase> {};

TEST_P(FolderFileOfLinkTest, NamesAFileInsideTheFolderOnly) {
    EXPECT_EQ(FolderFileOfLink(GetParam().link, GetParam().base), GetParam().file) << GetParam().link;
}

INSTANTIATE_TEST_SUITE_P(
    Links, FolderFileOfLinkTest,
    testing::Values(LinkCase{"a.jpg", "", "a.jpg"}, LinkCase{"qlm-web/a_800.jpg", "", "qlm-web/a_800.jpg"},
                    LinkCase{"a%20b%23c%25.jpg", "", "a b#c%.jpg"}, LinkCase{"a.jpg?v=2#top", "", "a.jpg"},
                    LinkCase{"  a.jpg ", "", "a.jpg"}, LinkCase{"./x/../a.jpg", "", "a.jpg"},
                    LinkCase{"a%2", "", "a%2"}, LinkCase{"bg.png", "css/", "css/bg.png"},
                    LinkCase{"../bg.png", "css/", "bg.png"}, LinkCase{"../a.jpg", "", std::nullopt},
                    LinkCase{"%2e%2e/a.jpg", "", std::nullopt}, LinkCase{"..\\a.jpg", "", std::nullopt},
                    LinkCase{"x/../../a.jpg", "", std::nullopt}, LinkCase{"/etc/passwd", "", std::nullopt},
                    LinkCase{"//host/a.jpg", "", std::nullopt},
                    LinkCase{"http://host/a.jpg", "", std::nullopt}, LinkCase{"data:,", "", std::nullopt},
                    LinkCase{"mailto:a@b", "", std::nullopt}, LinkCase{"#top", "", std::nullopt},
                    LinkCase{"", "", std::nullopt}, LinkCase{"qlm-web/", "", std::nullopt},
                    LinkCase{"a%2Fb.jpg", "", std::nullopt}, LinkCase{"a%00.jpg", "", std::nullopt}));

} // namespace
