// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Make HTML" run: one page per selected picture and "index.html", made from the template set
// by placeholder replacement. The run talks to its caller only through GenerationHost, which the
// main window, the command-line tool and the tests implement.

#include "core/gallery_names.h"
#include "core/options.h"
#include "core/templates.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qlm {

// Kinds of question. The numbers are those the dialog has always used; any other number asks
// with the prompt "?!?!?".
enum class AskKind : int { Keywords = 1, Description = 2, Alt = 3, Title = 4 };

// The prompt of a question of the given kind (UTF-8).
const char* AskPrompt(AskKind kind);

struct PictureSize {
    int width = 0;
    int height = 0;
};

class GenerationHost {
  public:
    virtual ~GenerationHost() = default;

    // Asks for a text; gives the confirmed text (possibly empty) or "<notext>" when declined.
    virtual std::string AskUser(const std::string& initial_text, AskKind kind) = 0;

    // Shows the picture (full path) and gives its natural size; nothing when the file cannot be
    // opened (the run then uses the size of the picture before). Throws DecodeError.
    virtual std::optional<PictureSize> MyLoadPic(const std::string& path) = 0;

    // Decodes a thumbnail (full path) to learn its size; nothing when the file cannot be opened
    // (the run then uses the size of the thumbnail before). Throws DecodeError.
    virtual std::optional<PictureSize> LoadThumbnail(const std::string& path) = 0;

    // The modal warning box (title "Warnung").
    virtual void ShowWarning(const std::string& text) = 0;

    // A picture or thumbnail (full path) that exists but cannot be decoded has stopped the run;
    // `message` is the decoder's. Called while the working display is still up.
    virtual void ShowDecodeFailure(const std::string& path, const std::string& message) = 0;

    virtual void SetProgressLabel(const std::string& text) = 0;
    virtual void SetProgressMaximum(int maximum) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual void StepProgress() = 0;

    // true: the working display (progress panel, command buttons disabled); false: the normal one.
    virtual void SetWorkingDisplay(bool working) = 0;

    // The thumbnail and the picture (full paths) that the run loads after those it loads now. Only
    // a hint, for a host that decodes ahead: the run still loads each through LoadThumbnail and
    // MyLoadPic, and a failure must show there, as it would without the hint.
    virtual void ComingNext(const std::string& thumbnail_path, const std::string& picture_path) {
        (void)thumbnail_path;
        (void)picture_path;
    }

    // Asked before each picture and before the overview: true stops the run there (see
    // GenerationResult::cancelled). A host that offers no way to stop keeps this.
    virtual bool StopRequested() { return false; }
};

// Holds the host's working display while it lives: it comes up with the progress at 0 of
// `maximum` and an empty label, and the normal display returns when the guard goes, also when a
// failure passes through. End() brings the normal display back earlier, where a command goes on
// with boxes of its own.
class WorkingDisplay {
  public:
    WorkingDisplay(GenerationHost& host, int maximum);
    ~WorkingDisplay();
    WorkingDisplay(const WorkingDisplay&) = delete;
    WorkingDisplay& operator=(const WorkingDisplay&) = delete;

    void End();

  private:
    GenerationHost* host_; // nullptr once ended
};

struct GenerationInput {
    std::string folder;                // current folder, ending in "/"
    std::vector<std::string> pictures; // selected picture file names, in list order
    int selected_entries = 0;          // progress maximum: the number of selected list entries
    OptionFlags flags;
    TemplateSet templates;
    std::string version; // version string for "<myversion>"
    // false (headless "--no-ask"): nothing is asked and no text file is written; a text whose
    // file cannot be read is empty.
    bool ask = true;
    // Without questions, and when the folder was listed just before the run: the texts and pages
    // it held (ListPictures). A picture's text it surely did not hold is taken as missing without
    // looking for its file, as if it had been created after the run read it. Such a page, if no
    // other page of the run shares its name, is written as a new file: nothing is looked up for
    // it, and a file made under its name since the listing is kept and reported instead.
    std::optional<ListedNames> listed;
};

inline constexpr const char* kUnwrittenFilesWarning = "Folgende Dateien konnten nicht geschrieben werden:";
// Shown, followed by the folder, when another run (a window or the command-line tool) is writing
// in the folder of a command; the command does nothing then.
inline constexpr const char* kFolderInUseWarning =
    "In diesem Ordner arbeitet gerade ein anderer Lauf. Bitte warten Sie, bis er fertig ist:";

struct GenerationResult {
    // Bare names of the files that could not be written, each once, in the order of the attempts.
    std::vector<std::string> unwritten;
    // True when a picture or thumbnail that cannot be decoded stopped the run; the pages written
    // before it and the answers stored so far stay, "index.html" is not written.
    bool stopped = false;
    // True when the host asked the run to stop (StopRequested): the pages of the pictures before
    // the stop are written whole, "index.html" is not written.
    bool cancelled = false;
    std::size_t pictures_done = 0; // of a cancelled run, the pictures whose pages were made
    // True when another run held the folder, so nothing was done.
    bool folder_in_use = false;
};

// Runs the generation from the working display back to the normal one. A picture or thumbnail that
// cannot be opened gets the size of the one opened before it in the run (0 x 0 before the first),
// so its page is written all the same. A picture or thumbnail
// that cannot be decoded stops the run: the host shows the failure, then the normal display
// returns. Files that could not be written are named in one warning before the normal display
// returns. Other failures (out of memory) restore the normal display and pass to the caller.
GenerationResult MakeGallery(const GenerationInput& input, GenerationHost& host);

} // namespace qlm
