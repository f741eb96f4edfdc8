// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The help viewer's window for one help file: the contents tree on the left, the topic on the
// right in a text browser that takes its pages, style sheets and pictures out of the help file,
// and Back, Forward and the start page above them. Texts are decoded by the file's language.

#include "help/viewer/chm_file.h"

#include <QStringDecoder>
#include <QTextBrowser>
#include <QWidget>

#include <map>
#include <memory>

class QPushButton;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

namespace qlm::help {

// Serves "chm:/path" addresses out of the help file; relative ones are taken from the page shown.
class ChmBrowser : public QTextBrowser {
  public:
    ChmBrowser(const ChmFile& file, QWidget* parent);
    QVariant loadResource(int type, const QUrl& name) override;
    // Text of the help file as a QString, by the file's code page.
    QString Decode(const std::string& bytes) const;

  private:
    const ChmFile& file_;
    int code_page_;
};

class HelpViewerWindow : public QWidget {
  public:
    explicit HelpViewerWindow(std::unique_ptr<ChmFile> file);
    ~HelpViewerWindow() override;

    const ChmFile& File() const { return *file_; }
    // Shows `topic` (a path inside the file); false, with nothing changed, when the file lacks it.
    bool ShowTopic(const std::string& topic);
    void ShowStartPage();
    QString CurrentTopic() const;

  private:
    // The buttons above, the contents tree and the topic side by side below; gives their splitter.
    QSplitter* CreatePanes();
    void ConnectSignals();
    void BuildContents();
    // Widens the contents pane and the window so that every entry of the contents shows whole.
    void FitToContents(QSplitter& splitter);
    // The width that shows every entry of the contents whole.
    int ContentsWidth() const;
    void FollowLink(const QUrl& url);
    void MarkCurrentInContents(const QString& topic);

    std::unique_ptr<ChmFile> file_;
    ChmBrowser* browser_ = nullptr;
    QTreeWidget* contents_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* forward_ = nullptr;
    QPushButton* home_ = nullptr;
    std::map<QString, QTreeWidgetItem*> items_by_topic_;
    QString file_title_;
};

// "chm:/topic.html" for a path inside the help file.
QUrl TopicUrl(const std::string& topic);

} // namespace qlm::help
