// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The help viewer as the program sees it: a module (shared library) of its own, found and loaded
// once at program start, before any window exists, and unloaded at program end. The module counts
// as installed when its version can be read; without it every help request ends in a warning.
//
// The module is looked for beside the executable first (the build tree), then in the program's
// installed library folder.

#include <QString>
#include <QStringList>

#include <cstdint>

class QWidget;

namespace qlm::help {

// The folders searched for the viewer module, in order.
QStringList ViewerModuleFolders();

// Finds and loads the viewer module in `folders`; a second call without HHUnloadViewer in between
// changes nothing. Gives whether the viewer is installed afterwards.
bool HHLoadViewer(const QStringList& folders = ViewerModuleFolders());
// Unloads the module. Every viewer window must be closed before (HH_CLOSE_ALL).
void HHUnloadViewer();

bool HHViewerInstalled();
// The version the module reported, "" without a module.
QString HHViewerVersion();

// The viewer's entry point: `command` with `data` for the help file `path` (see help_request.h for
// the commands). Gives the viewer window that shows the topic, or nullptr when nothing was shown
// (no module, help file or topic not found) and for the commands that show nothing.
QWidget* HtmlHelp(QWidget* owner, const QString& path, unsigned command, std::uintptr_t data);

} // namespace qlm::help
