// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/message_boxes.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QPushButton>
#include <QQueue>

namespace qlm::ui {
namespace {

QQueue<QMessageBox::StandardButton>& PresetButtons() {
    static QQueue<QMessageBox::StandardButton> answers;
    return answers;
}

QList<ShownBox>& RecordedBoxes() {
    static QList<ShownBox> boxes;
    return boxes;
}

bool& AutoAnswer() {
    static bool on = false;
    return on;
}

} // namespace

QString WithFullStop(const QString& text) {
    if (!text.isEmpty() && text.back().unicode() > u'.') {
        return text + u'.';
    }
    return text;
}

void MessageBoxes::ShowStandardError(QWidget* parent, const QString& text) {
    Show(parent, QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), WithFullStop(text));
}

void MessageBoxes::ShowWarning(QWidget* parent, const QString& text) {
    Show(parent, QMessageBox::Warning, QString::fromUtf8(kWarningTitle), text);
}

void MessageBoxes::ShowError(QWidget* parent, const QString& text) {
    Show(parent, QMessageBox::Critical, QString::fromUtf8(kErrorTitle), text);
}

QMessageBox::StandardButton MessageBoxes::ShowReport(QWidget* parent, QMessageBox::Icon icon,
                                                     const QString& title, const QString& text,
                                                     const QString& open_text) {
    return Show(parent, icon, title, text, open_text);
}

QMessageBox::StandardButton MessageBoxes::AskYesNo(QWidget* parent, const QString& text) {
    const QString title = QString::fromUtf8(kApplicationTitle);
    if (QMessageBox::StandardButton answer;
        AnsweredAhead({QMessageBox::Question, title, text, {}, {}}, QMessageBox::No, answer))
        return answer;
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Ja"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Nein"));
    box.setDefaultButton(QMessageBox::No);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessageBoxes::SetNextAnswer(QMessageBox::StandardButton answer) {
    PresetButtons().enqueue(answer);
}

void MessageBoxes::SetAutoAnswer(bool on) {
    AutoAnswer() = on;
}

QList<ShownBox> MessageBoxes::Recorded() {
    return RecordedBoxes();
}

void MessageBoxes::ClearRecorded() {
    RecordedBoxes().clear();
}

QMessageBox::StandardButton MessageBoxes::Show(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                               const QString& text, const QString& open_text) {
    if (QMessageBox::StandardButton answer;
        AnsweredAhead({icon, title, text, open_text, {}}, QMessageBox::Ok, answer))
        return answer;
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    // File names and system texts are shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    if (!open_text.isEmpty()) {
        QPushButton* open = box.addButton(QMessageBox::Open);
        open->setText(open_text);
        open->setIcon(QIcon());
    }
    box.setDefaultButton(QMessageBox::Ok);
    // A plain "OK", without the picture some platform themes put on dialog buttons.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QMessageBox::StandardButton MessageBoxes::ShowChoice(QWidget* parent, QMessageBox::Icon icon,
                                                     const QString& title, const QString& text,
                                                     const QList<BoxChoice>& choices,
                                                     QMessageBox::StandardButton escape) {
    QStringList texts;
    for (const BoxChoice& choice : choices)
        texts << choice.text;
    if (QMessageBox::StandardButton answer; AnsweredAhead({icon, title, text, {}, texts}, escape, answer))
        return answer;
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    for (const BoxChoice& choice : choices) {
        QPushButton* button = box.addButton(choice.answer);
        button->setText(choice.text);
        button->setIcon(QIcon());
    }
    box.setDefaultButton(escape);
    box.setEscapeButton(box.button(escape));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

bool MessageBoxes::AnsweredAhead(const ShownBox& shown, QMessageBox::StandardButton automatic,
                                 QMessageBox::StandardButton& answer) {
    if (PresetButtons().isEmpty() && !AutoAnswer())
        return false;
    RecordedBoxes().append(shown);
    // A shown box runs its own event loop, which delivers what was posted meanwhile.
    QCoreApplication::processEvents();
    answer = PresetButtons().isEmpty() ? automatic : PresetButtons().dequeue();
    return true;
}

} // namespace qlm::ui
