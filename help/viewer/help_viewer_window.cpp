// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/viewer/help_viewer_window.h"

#include "help/viewer/chm_text.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace qlm::help {
namespace {

const QString kScheme = QStringLiteral("chm");

// The window's size before the contents pane is fitted to its entries, and the topic pane's width
// that the window keeps however wide the contents pane becomes.
constexpr int kWindowWidth = 820;
constexpr int kWindowHeight = 560;
constexpr int kContentsWidth = 220;
constexpr int kTopicWidth = kWindowWidth - kContentsWidth;

QStringDecoder DecoderFor(int code_page) {
    QStringDecoder decoder(QStringLiteral("windows-%1").arg(code_page).toLatin1().constData());
    if (!decoder.isValid()) {
        decoder = QStringDecoder(QStringLiteral("CP%1").arg(code_page).toLatin1().constData());
    }
    return decoder;
}

} // namespace

QUrl TopicUrl(const std::string& topic) {
    QUrl url;
    url.setScheme(kScheme);
    url.setPath(QString::fromUtf8(topic));
    return url;
}

ChmBrowser::ChmBrowser(const ChmFile& file, QWidget* parent)
    : QTextBrowser(parent), file_(file), code_page_(CodePageOfLanguage(file.System().lcid)) {
    setOpenLinks(false);
}

QString ChmBrowser::Decode(const std::string& bytes) const {
    QStringDecoder decoder = DecoderFor(code_page_);
    if (!decoder.isValid()) {
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

QVariant ChmBrowser::loadResource(int type, const QUrl& name) {
    std::optional<std::string> path;
    if (name.scheme() == kScheme) {
        path = name.path().toStdString();
    } else if (name.isRelative()) {
        path = ResolveLink(source().path().toStdString(), name.toString(QUrl::FullyEncoded).toStdString());
    }
    if (!path) {
        return {};
    }
    const auto bytes = file_.Read(QUrl::fromPercentEncoding(QByteArray::fromStdString(*path)).toStdString());
    if (!bytes) {
        return {};
    }
    if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource) {
        return Decode(*bytes);
    }
    return QByteArray::fromStdString(*bytes);
}

HelpViewerWindow::HelpViewerWindow(std::unique_ptr<ChmFile> file) : file_(std::move(file)) {
    // The viewer belongs to the desktop: closing it does not end the program, and the program
    // closes it when it ends.
    setAttribute(Qt::WA_QuitOnClose, false);
    setObjectName(QStringLiteral("HelpViewer"));
    browser_ = new ChmBrowser(*file_, this);
    const std::string& title = file_->System().title;
    file_title_ = title.empty() ? QStringLiteral("Hilfe") : browser_->Decode(title);
    setWindowTitle(file_title_);

    QSplitter* splitter = CreatePanes();
    ConnectSignals();
    BuildContents();
    FitToContents(*splitter);
}

QSplitter* HelpViewerWindow::CreatePanes() {
    back_ = new QPushButton(QStringLiteral("Zurück"), this);
    forward_ = new QPushButton(QStringLiteral("Vorwärts"), this);
    home_ = new QPushButton(QStringLiteral("Startseite"), this);
    back_->setShortcut(QKeySequence::Back);
    forward_->setShortcut(QKeySequence::Forward);
    back_->setEnabled(false);
    forward_->setEnabled(false);
    contents_ = new QTreeWidget(this);
    contents_->setHeaderHidden(true);
    contents_->setColumnCount(1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back_);
    buttons->addWidget(forward_);
    buttons->addWidget(home_);
    buttons->addStretch();
    auto* splitter = new QSplitter(this);
    splitter->addWidget(contents_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);
    return splitter;
}

void HelpViewerWindow::ConnectSignals() {
    // Escape closes the viewer, as it closes the program's boxes.
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);

    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(home_, &QPushButton::clicked, this, [this] { ShowStartPage(); });
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QWidget::setEnabled);
    // The caption names the topic too, once the page is in.
    connect(browser_, &QTextBrowser::historyChanged, this, [this] {
        const QString topic = browser_->documentTitle();
        setWindowTitle(topic.isEmpty() ? file_title_ : file_title_ + QStringLiteral(": ") + topic);
    });
    connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) { FollowLink(url); });
    // The signal comes before source() has changed: the new address is in its argument.
    connect(browser_, &QTextBrowser::sourceChanged, this,
            [this](const QUrl& url) { MarkCurrentInContents(url.path()); });
    connect(contents_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        ShowTopic(item->data(0, Qt::UserRole).toString().toStdString());
    });
    connect(contents_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        ShowTopic(item->data(0, Qt::UserRole).toString().toStdString());
    });
}

void HelpViewerWindow::FitToContents(QSplitter& splitter) {
    // The contents pane starts wide enough for its longest entry; the window grows for it.
    const int contents_width =
        contents_->isHidden() ? kContentsWidth : std::max(kContentsWidth, ContentsWidth());
    splitter.setSizes({contents_width, kTopicWidth});
    const QMargins margins = layout()->contentsMargins();
    resize(std::max(kWindowWidth,
                    contents_width + kTopicWidth + margins.left() + margins.right() + splitter.handleWidth()),
           kWindowHeight);
}

int HelpViewerWindow::ContentsWidth() const {
    // The widest entry with its indentation, the frame, and room for a scroll bar should the
    // list grow longer than the pane.
    // The tree's own measure, with the indentation of each entry (protected in QTreeView only).
    const QAbstractItemView* view = contents_;
    return view->sizeHintForColumn(0) + 2 * contents_->frameWidth() +
           contents_->verticalScrollBar()->sizeHint().width();
}

HelpViewerWindow::~HelpViewerWindow() = default;

void HelpViewerWindow::BuildContents() {
    const std::string& name = file_->System().contents_file;
    const auto hhc = name.empty() ? std::nullopt : file_->Read(name);
    if (!hhc) {
        contents_->hide();
        return;
    }
    std::vector<QTreeWidgetItem*> parents;
    for (const ContentsEntry& entry : ParseContents(*hhc)) {
        parents.resize(std::min<std::size_t>(parents.size(), static_cast<std::size_t>(entry.depth)));
        auto* item = parents.empty() ? new QTreeWidgetItem(contents_) : new QTreeWidgetItem(parents.back());
        item->setText(0, browser_->Decode(entry.name));
        if (const auto topic = ResolveLink(name, entry.local); topic && !entry.local.empty()) {
            const QString path = QString::fromStdString(*topic);
            item->setData(0, Qt::UserRole, path);
            items_by_topic_.emplace(path.toLower(), item);
        }
        parents.push_back(item);
    }
    contents_->expandAll();
}

bool HelpViewerWindow::ShowTopic(const std::string& topic) {
    if (topic.empty() || !file_->Has(topic)) {
        return false;
    }
    const QUrl url = TopicUrl(topic);
    if (browser_->source() == url) {
        browser_->reload();
    } else {
        browser_->setSource(url, QTextDocument::HtmlResource);
    }
    return true;
}

void HelpViewerWindow::ShowStartPage() {
    const std::string& start = file_->System().default_topic;
    if (!ShowTopic(start) && contents_->topLevelItemCount() > 0) {
        ShowTopic(contents_->topLevelItem(0)->data(0, Qt::UserRole).toString().toStdString());
    }
}

QString HelpViewerWindow::CurrentTopic() const {
    return browser_->source().path();
}

void HelpViewerWindow::FollowLink(const QUrl& url) {
    const QString text = url.toString();
    if (url.scheme() != kScheme && !url.isRelative()) {
        QDesktopServices::openUrl(url); // the web, mail: not in the help file
        return;
    }
    const auto topic = url.scheme() == kScheme
                           ? std::optional<std::string>(url.path().toStdString())
                           : ResolveLink(CurrentTopic().toStdString(), text.toStdString());
    if (!topic) {
        return;
    }
    if (QString::fromStdString(*topic) == CurrentTopic() && url.hasFragment()) {
        browser_->scrollToAnchor(url.fragment());
        return;
    }
    if (ShowTopic(*topic) && url.hasFragment()) {
        browser_->scrollToAnchor(url.fragment());
    }
}

void HelpViewerWindow::MarkCurrentInContents(const QString& topic) {
    const auto found = items_by_topic_.find(topic.toLower());
    if (found != items_by_topic_.end()) {
        const QSignalBlocker quiet(contents_);
        contents_->setCurrentItem(found->second);
    }
}

} // namespace qlm::help
