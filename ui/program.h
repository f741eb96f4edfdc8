// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the program does around its main window: a failure to load the templates, at start or on
// "Reload Defs", ends it with a failure status once control is back in the event loop, and the
// settings of that run are not written.

namespace qlm::ui {

class TMain;

// Connects the window's template failure to the end of the program; when the templates already
// failed while the window was built, the end is posted now. Gives true when the window is to be
// shown.
bool StartProgram(TMain& window);

} // namespace qlm::ui
