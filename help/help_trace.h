// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The help trace for finding out why F1 shows nothing on some machine: switched on by "/debug" or
// "-debug" among the program's arguments (any case) or by a file "debug.debug" in the program's
// folder. It appends every creation of the hook, every help request and every viewer call, after a
// header of facts about the machine, to "HHDebug.txt" in the program's folder, or in the temporary
// folder when the program's folder cannot be written to. A trace of an earlier run is deleted at
// every start, traced or not.

#include <QString>
#include <QStringList>

namespace qlm::help {

inline constexpr char kTraceFileName[] = "HHDebug.txt";

// Once at program start; `program_folder` is where the executable lies. Gives whether the trace is on.
bool HHTraceStart(const QStringList& arguments, const QString& program_folder);
// Ends the trace (the tests start several).
void HHTraceStop();
bool HHTraceOn();
// The file the trace goes to, "" while it is off.
QString HHTraceFile();
// Appends one line with the time of day, when the trace is on.
void HHTrace(const QString& line);

} // namespace qlm::help
