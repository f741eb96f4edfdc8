// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_trace.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSysInfo>

namespace qlm::help {
namespace {

QString& TraceFile() {
    static QString file;
    return file;
}

bool WantsTrace(const QStringList& arguments, const QString& program_folder) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i].compare(QLatin1String("/debug"), Qt::CaseInsensitive) == 0 ||
            arguments[i].compare(QLatin1String("-debug"), Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return QFileInfo(QDir(program_folder).filePath(QStringLiteral("debug.debug"))).isFile();
}

// Opens, appends and closes: nothing stays open between two lines, and a crash loses at most the
// line being written.
bool Append(const QString& file, const QString& text) {
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    return out.write(bytes) == bytes.size();
}

QString Header(const QStringList& arguments, const QString& program_folder) {
    QString header;
    header += QStringLiteral("Quillmoor help trace, started %1\n")
                  .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs));
    header += QStringLiteral("program folder: %1\n").arg(program_folder);
    header += QStringLiteral("arguments: %1\n").arg(arguments.join(QLatin1Char(' ')));
    header += QStringLiteral("system: %1 (%2, kernel %3)\n")
                  .arg(QSysInfo::prettyProductName(), QSysInfo::currentCpuArchitecture(),
                       QSysInfo::kernelVersion());
    // The viewer shows its pages with the text browser of Qt's widgets.
    header += QStringLiteral("page display: Qt Widgets text browser, Qt %1\n")
                  .arg(QLibraryInfo::version().toString());
    header += QStringLiteral("working folder: %1\n").arg(QDir::currentPath());
    return header;
}

} // namespace

bool HHTraceStart(const QStringList& arguments, const QString& program_folder) {
    HHTraceStop();
    const QString beside = QDir(program_folder).filePath(QLatin1String(kTraceFileName));
    const QString in_temp = QDir(QDir::tempPath()).filePath(QLatin1String(kTraceFileName));
    QFile::remove(beside);
    if (!WantsTrace(arguments, program_folder)) {
        return false;
    }
    const QString header = Header(arguments, program_folder);
    if (Append(beside, header)) {
        TraceFile() = beside;
    } else {
        QFile::remove(in_temp);
        if (Append(in_temp, header)) {
            TraceFile() = in_temp;
        }
    }
    return HHTraceOn();
}

void HHTraceStop() {
    TraceFile().clear();
}

bool HHTraceOn() {
    return !TraceFile().isEmpty();
}

QString HHTraceFile() {
    return TraceFile();
}

void HHTrace(const QString& line) {
    if (HHTraceOn()) {
        Append(TraceFile(),
               QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz ")) + line + QLatin1Char('\n'));
    }
}

} // namespace qlm::help
