// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window as the window benchmarks start it: the program's style, font and pictures, a
// settings file in a temporary folder that opens `folder`, and the templates of `templates` (the
// working folder, as when the program is started there).

#include "ui/main_window.h"
#include "ui/window_style.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace qlm::bench {

class BenchWindow {
  public:
    // Null window() when the settings file cannot be written or the templates cannot be read.
    BenchWindow(const QString& folder, const QString& templates) {
        QApplication::setStyle(ui::CreateWindowStyle());
        QApplication::setFont(ui::WindowFont());
        ui::InitResources();
        const QString settings = settings_folder_.filePath(QStringLiteral("QLM.ini"));
        QFile file(settings);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write("[Settings]\r\nDir=" + QFile::encodeName(QDir(folder).absolutePath()) + "/\r\n");
        file.close();
        QDir::setCurrent(templates);
        window_ = std::make_unique<ui::TMain>(QFile::encodeName(settings).toStdString());
        if (!window_->TemplatesLoaded())
            window_.reset();
    }
    ui::TMain* window() const { return window_.get(); }

  private:
    QTemporaryDir settings_folder_;
    std::unique_ptr<ui::TMain> window_;
};

} // namespace qlm::bench
