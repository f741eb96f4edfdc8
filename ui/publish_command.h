// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Galerie veröffentlichen…" and "Veröffentlichungsordner ändern…" of the list's pop-up menu: the
// gallery of the current folder ("index.html", the pages of the selected pictures and what they
// link) published into a target folder of its own (core/publisher.h). The target is asked for the
// first time a picture folder is published and remembered in the settings file
// (core/publish_targets.h); the second entry asks again, starting at the remembered one. The
// working display shows the files as they go; a box then says what was published and where, and
// offers to show the published gallery in the browser.

#include "core/publish_result.h"

#include <optional>
#include <string>

class QWidget;

namespace qlm::ui {

class CommandWindow;
class DesktopActions;

inline constexpr const char* kPublishEntry = "Galerie veröffentlichen…";
inline constexpr const char* kChangePublishTargetEntry = "Veröffentlichungsordner ändern…";
inline constexpr const char* kPublishTitle = "Galerie veröffentlichen";
inline constexpr const char* kShowInBrowserButton = "Im Browser zeigen";
inline constexpr const char* kNotPublishedHead = "Die Galerie wurde nicht veröffentlicht.";

// What the command needs of the window beyond the commands' interface.
struct PublishPlaces {
    QWidget* parent = nullptr;         // of the dialog and the boxes
    std::string settings_path;         // where the targets are remembered
    DesktopActions* desktop = nullptr; // shows the published gallery
};

enum class PublishTargetChoice {
    Remembered, // the remembered target; asked only when there is none
    AskAgain,   // asked, starting at the remembered one
};

// Publishes the selected pictures of the current folder. Gives what the publishing did, or
// nothing when it did not start: no picture selected, no "index.html" (the user is told), no
// target chosen, or the folder in use by another run (the user is told). A refused target is not
// remembered.
std::optional<PublishResult> PublishClick(CommandWindow& window, const PublishPlaces& places,
                                          PublishTargetChoice choice);

// Why the target was refused, as the error box says it.
std::string PublishRefusalText(const PublishResult& result);
// Why a file was not published (or an old one not removed), after its name.
std::string NotPublishedText(const PublishedFile& file);
// The text of the box after a publishing that was not refused: the counts, the target and the
// files not published with their reasons.
std::string PublishReportText(const PublishResult& result);

} // namespace qlm::ui
