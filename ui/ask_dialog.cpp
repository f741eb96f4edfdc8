// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ask_dialog.h"

#include "core/folder_listing.h"
#include "core/text_file.h"
#include "platform/text.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QQueue>
#include <limits>

namespace qlm::ui {
namespace {

constexpr int kDialogWidth = 369;
constexpr int kDialogHeight = 185;
constexpr int kButtonPicture = 32;

QQueue<std::optional<QString>>& PresetAnswers() {
    static QQueue<std::optional<QString>> answers;
    return answers;
}

QList<TFAskUser::Asked>& RecordedQuestions() {
    static QList<TFAskUser::Asked> asked;
    return asked;
}

// One picture of a strip of two 32 x 32 pictures: the normal one on the left, the grey one for the
// disabled state on the right.
QIcon StripIcon(const char* file) {
    const QPixmap strip(QStringLiteral(":/assets/") + QLatin1String(file));
    QIcon icon;
    icon.addPixmap(strip.copy(0, 0, kButtonPicture, kButtonPicture), QIcon::Normal);
    icon.addPixmap(strip.copy(kButtonPicture, 0, kButtonPicture, kButtonPicture), QIcon::Disabled);
    return icon;
}

// The edit field selects its whole text whenever it takes the focus, so typing replaces it.
class SelectingLineEdit : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;

  protected:
    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        selectAll();
    }
};

} // namespace

TFAskUser::TFAskUser(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("FAskUser"));
    // Not shown (the dialog has no title bar), but it names the window for the window system.
    setWindowTitle(QStringLiteral("Frage"));
    setModal(true);
    setFixedSize(kDialogWidth, kDialogHeight);
    // The frameless dialog still needs an edge to stand out from the window beneath it.
    setStyleSheet(QStringLiteral("QDialog#FAskUser { border: 1px solid palette(dark); }"));

    AskPic = new QLabel(this);
    AskPic->setObjectName(QStringLiteral("AskPic"));
    AskPic->setGeometry(8, 8, 52, 77);
    AskPic->setPixmap(QPixmap(QStringLiteral(":/assets/ask_question.png")));

    AskText = new QLabel(this);
    AskText->setObjectName(QStringLiteral("AskText"));
    AskText->setGeometry(72, 8, 289, 73);
    AskText->setWordWrap(true);
    AskText->setTextFormat(Qt::PlainText);
    AskText->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Entertext = new SelectingLineEdit(this);
    Entertext->setObjectName(QStringLiteral("Entertext"));
    Entertext->setGeometry(8, 96, 353, 21);
    // No length limit: a long description is as welcome as a short one.
    Entertext->setMaxLength(std::numeric_limits<int>::max());

    OKText = new QPushButton(QStringLiteral("übernehmen"), this);
    OKText->setObjectName(QStringLiteral("OKText"));
    OKText->setGeometry(32, 136, 113, 36);
    OKText->setIcon(StripIcon("ask_ok.png"));
    OKText->setIconSize(QSize(kButtonPicture, kButtonPicture));
    OKText->setDefault(true);
    connect(OKText, &QPushButton::clicked, this, &QDialog::accept);

    NoText = new QPushButton(QStringLiteral("kein Text"), this);
    NoText->setObjectName(QStringLiteral("NoText"));
    NoText->setGeometry(216, 136, 121, 36);
    NoText->setIcon(StripIcon("ask_no.png"));
    NoText->setIconSize(QSize(kButtonPicture, kButtonPicture));
    // Return presses the button that has the focus; from the edit field it presses "übernehmen".
    NoText->setAutoDefault(true);
    connect(NoText, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(Entertext, OKText);
    setTabOrder(OKText, NoText);
}

void TFAskUser::Prepare(AskKind kind, const std::string& initial_text) {
    AskText->setText(QString::fromUtf8(AskPrompt(kind)));
    Entertext->setText(QString::fromStdString(platform::TextAsUtf8(initial_text)));
    setResult(QDialog::Rejected);
}

std::string TFAskUser::Answer() const {
    if (result() != QDialog::Accepted)
        return std::string(kNoText);
    return Entertext->text().toStdString();
}

std::string TFAskUser::Ask(AskKind kind, const std::string& initial_text, const QPoint& place) {
    Prepare(kind, initial_text);
    if (!PresetAnswers().isEmpty()) {
        RecordedQuestions().append(Asked{AskText->text(), Entertext->text()});
        const std::optional<QString> answer = PresetAnswers().dequeue();
        if (!answer)
            return std::string(kNoText);
        return answer->toStdString();
    }
    move(place);
    exec();
    return Answer();
}

void TFAskUser::SetNextAnswer(std::optional<QString> answer) {
    PresetAnswers().enqueue(std::move(answer));
}

QList<TFAskUser::Asked> TFAskUser::Recorded() {
    return RecordedQuestions();
}

void TFAskUser::ClearRecorded() {
    RecordedQuestions().clear();
}

void TFAskUser::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Entertext->setFocus(Qt::OtherFocusReason);
    Entertext->selectAll();
}

void TFAskUser::keyPressEvent(QKeyEvent* event) {
    // The dialog has no help of its own: F1 opens nothing here.
    if (event->key() == Qt::Key_F1) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace qlm::ui
