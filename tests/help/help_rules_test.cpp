// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_request.h"
#include "help/viewer/chm_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

namespace qlm::help {
namespace {

TEST(HelpRequests, EachCommandHasItsAction) {
    EXPECT_EQ(HelpRequestAction(HELP_CONTEXT), HelpAction::ShowContext);
    EXPECT_EQ(HelpRequestAction(HELP_CONTEXTPOPUP), HelpAction::ShowContext);
    EXPECT_EQ(HelpRequestAction(HELP_SETPOPUP_POS), HelpAction::Nothing);
    // Everything else goes on to the default processing: the contents, a keyword search, quitting.
    for (unsigned other : {0u, 2u, 3u, 9u, 12u, 14u, 15u, 257u, 0xffffffffu}) {
        EXPECT_EQ(HelpRequestAction(other), HelpAction::PassOn) << other;
    }
}

class HelpPath : public testing::TestWithParam<std::tuple<std::string, std::string>> {};

TEST_P(HelpPath, BlanksSpeltOutAndTrimmed) {
    EXPECT_EQ(HelpFilePath(std::get<0>(GetParam())), std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Names, HelpPath,
                         testing::Values(std::tuple{"QLM.chm", "QLM.chm"},
                                         std::tuple{"Meine%20Hilfe.chm", "Meine Hilfe.chm"},
                                         std::tuple{"%20%20QLM.chm%20", "QLM.chm"},
                                         std::tuple{"  a b.chm  ", "a b.chm"}, std::tuple{"%2", "%2"},
                                         std::tuple{"a%20%20b", "a  b"}, std::tuple{"%20", ""},
                                         std::tuple{"", ""}));

class Links
    : public testing::TestWithParam<std::tuple<std::string, std::string, std::optional<std::string>>> {};

TEST_P(Links, LeadToThePathInsideTheFile) {
    const auto& [from, link, expected] = GetParam();
    EXPECT_EQ(ResolveLink(from, link), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, Links,
    testing::Values(
        std::tuple{"/index.html", "ordner.html", std::optional<std::string>("/ordner.html")},
        std::tuple{"/a/b/page.html", "../bilder/x.png", std::optional<std::string>("/a/bilder/x.png")},
        std::tuple{"/a/page.html", "./c.css", std::optional<std::string>("/a/c.css")},
        std::tuple{"/a/page.html", "/top.html#teil", std::optional<std::string>("/top.html")},
        std::tuple{"/a/page.html", "#teil", std::optional<std::string>("/a/page.html")},
        std::tuple{"/page.html", "../../x.html", std::optional<std::string>("/x.html")},
        std::tuple{"/page.html", "ms-its:QLM.chm::/namen.html", std::optional<std::string>("/namen.html")},
        std::tuple{"/page.html", "mk:@MSITStore:C:\\h\\QLM.chm::/b/c.html",
                   std::optional<std::string>("/b/c.html")},
        std::tuple{"/page.html", "https://example.org/a.html", std::optional<std::string>()},
        std::tuple{"/page.html", "mailto:someone@example.org", std::optional<std::string>()},
        std::tuple{"/page.html", "ms-its:QLM.chm", std::optional<std::string>()}));

TEST(Contents, EntriesWithTheirDepthAndTopic) {
    const std::string hhc = R"(<HTML><HEAD></HEAD><BODY>
<OBJECT type="text/site properties"><param name="Window Styles" value="0x800025"></OBJECT>
<UL>
  <LI> <OBJECT type="text/sitemap"><param name="Name" value="Start &amp; Ende"><param name="Local" value="index.html"></OBJECT>
  <UL>
    <LI> <OBJECT type="text/sitemap"><param name="Local" value="a.html"><param name="Name" value='Fenster "A"'></OBJECT>
    <UL><LI><object type=text/sitemap><param name=Name value=Tief><param name=Local value=sub/b.html></object></UL>
  </UL>
  <LI> <OBJECT type="text/sitemap"><param name="Name" value="Nur ein Kapitel"></OBJECT>
</UL></BODY></HTML>)";
    const auto entries = ParseContents(hhc);
    ASSERT_EQ(entries.size(), 4u);
    const std::tuple<std::string, std::string, int> expected[] = {{"Start & Ende", "index.html", 0},
                                                                  {"Fenster \"A\"", "a.html", 1},
                                                                  {"Tief", "sub/b.html", 2},
                                                                  {"Nur ein Kapitel", "", 0}};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(std::tie(entries[i].name, entries[i].local, entries[i].depth), expected[i]) << i;
    }
    EXPECT_TRUE(ParseContents("<ul><li><object type=\"text/sitemap\"><param name=\"Name\"").empty());
}

TEST(Contents, CodePageFollowsTheLanguage) {
    const std::tuple<std::uint32_t, int> rows[] = {
        {0x0407, 1252}, {0x0409, 1252}, {0x0c07, 1252}, {0x0415, 1250}, {0x0419, 1251}, {0x0408, 1253},
        {0x041f, 1254}, {0x0411, 932},  {0x0804, 936},  {0x0404, 950},  {0, 1252}};
    for (const auto& [lcid, code_page] : rows) {
        EXPECT_EQ(CodePageOfLanguage(lcid), code_page) << std::hex << lcid;
    }
}

} // namespace
} // namespace qlm::help
