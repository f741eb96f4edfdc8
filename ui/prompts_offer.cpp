// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/prompts_offer.h"

namespace qlm::ui {

namespace {

std::string Pictures(int count) {
    return std::to_string(count) + (count == 1 ? " Bild" : " Bildern");
}

} // namespace

std::string PromptsOfferText(const PromptsAhead& ahead) {
    std::string text =
        "Make HTML würde nacheinander " + std::to_string(ahead.boxes) + " Fragen und Warnungen zeigen.\n";
    if (ahead.missing_thumbnails > 0)
        text += "\nThumbnails fehlen zu " + Pictures(ahead.missing_thumbnails) + ".";
    if (ahead.missing_web_copies > 0)
        text += "\nWebbilder fehlen zu " + Pictures(ahead.missing_web_copies) + ".";
    if (ahead.missing_texts > 0)
        text += "\nTexte fehlen: " + std::to_string(ahead.missing_texts) + ".";
    text += "\n\n\"Fragen\": nach jedem fehlenden Text fragen und fehlende Thumbnails melden.\n"
            "\"Ohne Fragen\": nichts fragen und nichts melden; fehlende Texte bleiben leer, und es "
            "wird keine Textdatei geschrieben.";
    return text;
}

} // namespace qlm::ui
