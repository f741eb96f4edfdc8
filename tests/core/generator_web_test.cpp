// SPDX-License-Identifier: GPL-3.0-or-later
// The run with web copies: the web placeholders in picture pages and overview entries with and
// without copies, the alt rule they share with the thumbnail tag, and templates without them that
// leave everything as it was.

#include "core/generator.h"
#include "core/jpeg_encoder.h"
#include "core/web_copy_folder.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <vector>

namespace qlm {
namespace {

using test::TempFolder;

// Knows picture sizes by bare name; asks nothing and shows nothing.
class SizesHost : public GenerationHost {
  public:
    explicit SizesHost(std::string folder) : folder_(std::move(folder)) {}
    std::map<std::string, PictureSize> sizes;
    std::vector<std::string> warnings;
    std::string AskUser(const std::string&, AskKind) override { return "<notext>"; }
    std::optional<PictureSize> MyLoadPic(const std::string& path) override {
        return sizes[path.substr(folder_.size())];
    }
    std::optional<PictureSize> LoadThumbnail(const std::string& path) override {
        return sizes[path.substr(folder_.size())];
    }
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }
    void ShowDecodeFailure(const std::string&, const std::string&) override {}
    void SetProgressLabel(const std::string&) override {}
    void SetProgressMaximum(int) override {}
    void SetProgressPosition(int) override {}
    void StepProgress() override {}
    void SetWorkingDisplay(bool) override {}

  private:
    std::string folder_;
};

class GeneratorWebTest : public ::testing::Test {
  protected:
    GeneratorWebTest() : host(folder.Path()) {
        input.folder = folder.Path();
        input.ask = false;
        input.flags.img_wo_alt = false;
        folder.Put("title.txt", "T");
        host.sizes = {{"wide.jpg", {400, 300}}, {"tall.jpg", {300, 400}}, {"bare.jpg", {64, 48}}};
    }
    void Copy(const std::string& name, int width, int height) {
        folder.MakeFolder("qlm-web");
        Image image;
        image.width = width;
        image.height = height;
        image.rgba.assign(static_cast<std::size_t>(width) * height * 4, 200);
        folder.Put("qlm-web/" + name, EncodeJpeg(image, 80));
    }
    void Run(std::vector<std::string> pictures) {
        input.selected_entries = static_cast<int>(pictures.size());
        input.pictures = std::move(pictures);
        MakeGallery(input, host);
    }

    TempFolder folder;
    SizesHost host;
    GenerationInput input;
};

TEST_F(GeneratorWebTest, PagesAndEntriesOfferTheCopiesAndFallBackToTheOriginal) {
    Copy("wide_200.jpg", 200, 150);
    Copy("tall_200.jpg", 150, 200);
    folder.Put("wide.txt", "Weit <i>offen</i>");
    input.templates = {"", "[<mywebpicfile> <mywebwidth>x<mywebheight> <mywebsrcset>]", "", "<mywebpic>", "",
                       ""};
    Run({"wide.jpg", "tall.jpg", "bare.jpg"});
    EXPECT_EQ(folder.Get("wide.html"),
              "<img src=\"qlm-web/wide_200.jpg\" srcset=\"qlm-web/wide_200.jpg 200w, "
              "wide.jpg 400w\" sizes=\"(max-width: 400px) 100vw, 400px\" width=\"400\" "
              "height=\"300\" alt=\"Weit offen\">");
    EXPECT_EQ(folder.Get("bare.html"), "<img src=\"bare.jpg\" width=\"64\" height=\"48\" alt=\"\">");
    EXPECT_EQ(folder.Get("index.html"),
              "[qlm-web/wide_200.jpg 200x150 qlm-web/wide_200.jpg 200w, wide.jpg 400w]"
              "[qlm-web/tall_200.jpg 150x200 qlm-web/tall_200.jpg 150w, tall.jpg 300w]"
              "[bare.jpg 64x48 bare.jpg 64w]");
}

// A link in place of the copy folder, to a folder elsewhere that holds a copy by the picture's name:
// the pages offer no copy from it, and the run says why, once.
TEST_F(GeneratorWebTest, ALinkInPlaceOfTheCopyFolderOffersNothingAndIsNamed) {
    TempFolder outside;
    Image image;
    image.width = 200;
    image.height = 150;
    image.rgba.assign(static_cast<std::size_t>(200) * 150 * 4, 200);
    outside.Put("wide_200.jpg", EncodeJpeg(image, 80));
    std::filesystem::create_directory_symlink(outside.Root(), folder / "qlm-web");
    input.templates = {"", "[<mywebpicfile>]", "", "<mywebpic>", "", ""};
    Run({"wide.jpg", "tall.jpg"});
    EXPECT_EQ(folder.Get("wide.html"), "<img src=\"wide.jpg\" width=\"400\" height=\"300\" alt=\"\">");
    EXPECT_EQ(folder.Get("index.html"), "[wide.jpg][tall.jpg]");
    EXPECT_EQ(host.warnings, std::vector<std::string>{"qlm-web: " + std::string(kWebCopyFolderRefused)});
}

TEST_F(GeneratorWebTest, ThePictureKeepsItsAltTextWithImagesWithoutAlt) {
    // The flag is about thumbnail tags; a picture without alt text is lost to a screen reader.
    input.flags.img_wo_alt = true;
    folder.Put("bare.txt", "Ein <b>Text</b>");
    input.templates = {"", "", "", "<mywebpic>|<mytinypic>", "", ""};
    Run({"bare.jpg"});
    EXPECT_EQ(folder.Get("bare.html"), "<img src=\"bare.jpg\" width=\"64\" height=\"48\" alt=\"Ein Text\">|"
                                       "<img src=\"t_bare.jpg\" width=\"0\" height=\"0\" border=\"0\">");
}

TEST_F(GeneratorWebTest, TemplatesWithoutWebPlaceholdersGiveThePagesTheyAlwaysGave) {
    Copy("wide_200.jpg", 200, 150);
    // A text that names a web placeholder stays as written when no template uses one.
    folder.Put("wide.txt", "<mywebpic>");
    input.templates = {"", "<mytext>|", "", "<mypic>|<mytext>", "", ""};
    Run({"wide.jpg"});
    EXPECT_EQ(folder.Get("wide.html"),
              "<img src=\"wide.jpg\" width=\"400\" height=\"300\" border=\"0\">|<mywebpic>");
    EXPECT_EQ(folder.Get("index.html"), "<mywebpic>|");
}

} // namespace
} // namespace qlm
