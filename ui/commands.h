// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's commands: "Make HTML", "Correct Names" and "Correct Infofile". Each reads what it
// needs of the window when it runs, through the small interface below, and leaves the work to the
// Qt-free core; the main window only connects its buttons to them.

#include "core/gallery_names.h"
#include "core/generator.h"
#include "core/options.h"
#include "core/templates.h"
#include "core/thumbnail_maker.h"
#include "core/web_copy_maker.h"
#include "ui/prompts_offer.h"

#include <string>
#include <vector>

namespace qlm::platform {
class FolderRun;
}

namespace qlm::ui {

class CommandWindow {
  public:
    virtual ~CommandWindow() = default;

    // The current folder, ending in "/".
    virtual std::string CommandFolder() const = 0;
    // The selected pictures (bare names) in list order.
    virtual std::vector<std::string> SelectedPictures() const = 0;
    // The option flags as the check boxes stand now.
    virtual OptionFlags Flags() const = 0;
    virtual const TemplateSet& Templates() const = 0;
    virtual const std::string& Version() const = 0;
    virtual GenerationHost& Host() = 0;
    // "Make HTML" and "Correct Names" together.
    virtual void SetCommandButtons(bool enabled) = 0;
    // Lists the current folder again; the selection is dropped.
    virtual void MyReload() = 0;
    // The warning box.
    virtual void Warn(const std::string& text) = 0;
    // Selects again those of the pictures `names` (bare names) that the list shows.
    virtual void Reselect(const std::vector<std::string>& names) = 0;
    // The status line says what a command has done (bytes of the file system in names).
    virtual void Note(const std::string& text) = 0;
    // The status line names the overview page just made and offers to open it in the browser.
    virtual void NoteGallery(const std::string& page) = 0;
    // The offer before a run that would show many boxes, with the maker buttons asked for.
    virtual PromptsChoice OfferOtherWay(const PromptsAhead& ahead, bool make_thumbnails,
                                        bool make_web_copies) = 0;
};

// Takes the command's folder for this run (see platform::FolderRun); false, after telling the
// user, when another run holds it.
bool BeginFolderRun(CommandWindow& window, platform::FolderRun& run);

// "Make HTML": the pages of the selected pictures and "index.html", asking for missing texts. A run
// that would show more than kMostBoxesWithoutOffer questions and warnings first offers another way
// (PromptsChoice); after making thumbnails or web copies from there the folder is counted again, and
// the offer comes back, without the maker already used, while still more are ahead. A run that ends
// normally, with "index.html" written, names it in the status line.
GenerationResult MakeItSoClick(CommandWindow& window);

inline constexpr const char* kGalleryMadeNote = "Galerie erzeugt: ";
// The note of "Reload Defs", followed by the templates' folder.
inline constexpr const char* kTemplatesLoadedNote = "Vorlagen geladen aus ";

// "Correct Names": web-safe names for the selected pictures and their companions, then the list
// read again; both command buttons stay disabled, since no entry is selected afterwards. The
// status line says whether names changed, as the pages made before still use the old ones.
void RenameFilesClick(CommandWindow& window);

inline constexpr const char* kNamesChangedNote =
    "Namen geändert – Make HTML erneut ausführen, damit die Seiten stimmen";
inline constexpr const char* kNamesUnchangedNote = "Keine Namen geändert";

// "Fehlende Thumbnails erzeugen": the missing thumbnails of the selected pictures, with the
// progress display while they are made; the pictures that got none are named in one warning; then
// the list is read again with the same pictures selected, and the status line counts those made.
std::vector<ThumbnailResult> MakeThumbnailsClick(CommandWindow& window);

inline constexpr const char* kThumbnailsNotMadeWarning = "Diese Thumbnails konnten nicht erzeugt werden:";

// "Fehlende Webbilder erzeugen": the missing web copies (at the default sizes) of the selected
// pictures, shown and reported like the thumbnails; the status line counts the pictures that got
// copies.
std::vector<WebCopyResult> MakeWebPicturesClick(CommandWindow& window);

inline constexpr const char* kWebPicturesNotMadeWarning = "Diese Webbilder konnten nicht erzeugt werden:";

// The status line's count of what a maker made: "12 Thumbnails erzeugt", "1 Thumbnail erzeugt".
std::string MadeThumbnailsNote(int made);
std::string MadeWebPicturesNote(int pictures);

// "Correct Infofile": "info.html" from "info.txt" and the info templates. False when the page
// could not be written (the user has been warned).
bool TransFileClick(CommandWindow& window);

} // namespace qlm::ui
