// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The box of the offer before a run with many questions (see prompts_offer.h), shown through
// MessageBoxes, so that tests answer it with the answers below.

#include "ui/prompts_offer.h"

#include <QMessageBox>

class QWidget;

namespace qlm::ui {

// What each button of the offer answers, for MessageBoxes::SetNextAnswer.
inline constexpr QMessageBox::StandardButton kMakeThumbnailsAnswer = QMessageBox::Yes;
inline constexpr QMessageBox::StandardButton kMakeWebCopiesAnswer = QMessageBox::YesToAll;
inline constexpr QMessageBox::StandardButton kAskAnswer = QMessageBox::Retry;
inline constexpr QMessageBox::StandardButton kAskNothingAnswer = QMessageBox::Ignore;
inline constexpr QMessageBox::StandardButton kCancelAnswer = QMessageBox::Cancel;

// Shows the offer with the maker buttons asked for and gives the choice; "Abbrechen" is the
// default and the answer to Escape and closing. An answer of a button not shown counts as
// "Abbrechen".
PromptsChoice ShowPromptsOffer(QWidget* parent, const PromptsAhead& ahead, bool make_thumbnails,
                               bool make_web_copies);

} // namespace qlm::ui
