// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/prompts_offer_box.h"

#include "ui/message_boxes.h"

namespace qlm::ui {

PromptsChoice ShowPromptsOffer(QWidget* parent, const PromptsAhead& ahead, bool make_thumbnails,
                               bool make_web_copies) {
    struct Button {
        bool shown;
        QMessageBox::StandardButton answer;
        const char* text;
        PromptsChoice choice;
    };
    const Button buttons[] = {
        {make_thumbnails, kMakeThumbnailsAnswer, kMakeThumbnailsButton, PromptsChoice::MakeThumbnails},
        {make_web_copies, kMakeWebCopiesAnswer, kMakeWebCopiesButton, PromptsChoice::MakeWebCopies},
        {true, kAskAnswer, kAskButton, PromptsChoice::Ask},
        {true, kAskNothingAnswer, kAskNothingButton, PromptsChoice::AskNothing},
        {true, kCancelAnswer, kCancelButton, PromptsChoice::Cancel},
    };
    QList<BoxChoice> choices;
    for (const Button& button : buttons)
        if (button.shown)
            choices.append({button.answer, QString::fromUtf8(button.text)});
    const QMessageBox::StandardButton answer =
        MessageBoxes::ShowChoice(parent, QMessageBox::Question, QString::fromUtf8(kOfferTitle),
                                 QString::fromStdString(PromptsOfferText(ahead)), choices, kCancelAnswer);
    for (const Button& button : buttons)
        if (button.shown && button.answer == answer)
            return button.choice;
    return PromptsChoice::Cancel;
}

} // namespace qlm::ui
