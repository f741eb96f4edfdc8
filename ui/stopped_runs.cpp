// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/stopped_runs.h"

namespace qlm::ui {

std::string StoppedMakerText(std::size_t done, std::size_t pictures) {
    return "Abgebrochen nach " + std::to_string(done) + " von " + std::to_string(pictures) +
           (pictures == 1 ? " Bild." : " Bildern.");
}

std::string StoppedGalleryText(std::size_t done, std::size_t pictures) {
    std::string text = StoppedMakerText(done, pictures);
    text.back() = ';';
    return text + " index.html wurde nicht geschrieben.";
}

} // namespace qlm::ui
