// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's look: the Fusion style, with the labels of the check boxes a little closer to
// their boxes so that the longest option text fits its fixed width in the sans-serif font.

class QStyle;

namespace qlm::ui {

// A new style object for QApplication::setStyle, which takes it over.
QStyle* CreateWindowStyle();

} // namespace qlm::ui
