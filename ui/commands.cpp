#include "ui/commands.h"

#include "core/info_convert.h"
#include "core/name_correction.h"
#include "core/text_file.h"

namespace qlm::ui {

GenerationResult MakeItSoClick(CommandWindow& window) {
    GenerationInput input;
    input.folder = window.CommandFolder();
    input.pictures = window.SelectedPictures();
    // Only pictures can be selected, so every selected entry is a picture.
    input.selected_entries = static_cast<int>(input.pictures.size());
    input.flags = window.Flags();
    input.templates = window.Templates();
    input.version = window.Version();
    return MakeGallery(input, window.Host());
}

void RenameFilesClick(CommandWindow& window) {
    window.SetCommandButtons(false);
    CorrectNames(window.CommandFolder(), window.SelectedPictures(), window.Flags().thumbs_jpg);
    window.MyReload();
    window.SetCommandButtons(false);
}

bool TransFileClick(CommandWindow& window) {
    const std::string folder = window.CommandFolder();
    std::string info;
    // Without a readable "info.txt" the page holds the head and the tail alone.
    (void)MyReadFile(folder + "info.txt", info);
    const TemplateSet& templates = window.Templates();
    if (MyWriteFile(folder + "info.html", MyConvertInfo(info, templates.info_head, templates.info_tail)))
        return true;
    window.Warn(std::string(kUnwrittenFilesWarning) + "\ninfo.html");
    return false;
}

} // namespace qlm::ui
