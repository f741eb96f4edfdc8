// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the window says about stopping a run: the question when the window is closed during one,
// and the box after a run that was stopped.

#include <cstddef>
#include <string>

namespace qlm::ui {

inline constexpr const char* kStopRunQuestion = "Der Lauf ist noch nicht fertig. Abbrechen?";

// "Abgebrochen nach 3 von 10 Bildern; index.html wurde nicht geschrieben."
std::string StoppedGalleryText(std::size_t done, std::size_t pictures);

// "Abgebrochen nach 3 von 10 Bildern." for a run that makes files of pictures one by one.
std::string StoppedMakerText(std::size_t done, std::size_t pictures);

} // namespace qlm::ui
