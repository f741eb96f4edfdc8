// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's modal message boxes, each with an "OK" button: the standard error box for a
// failure that ends a user action, the warning box, the error box, and the report of a command
// that offers one more step on a second button. Tests preset the answers
// (SetNextAnswer, SetAutoAnswer) so that no box waits for a click; the boxes that were answered
// that way are recorded for the test to read.

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace qlm::ui {

// The application's title: the title of the standard error box.
inline constexpr const char* kApplicationTitle = "QLM 2";
inline constexpr const char* kWarningTitle = "Warnung";
inline constexpr const char* kErrorTitle = "Fehler";

struct ShownBox {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QString open_text;   // the second button's text, or empty for "OK" alone
    QStringList choices; // the buttons of a choice (ShowChoice), in order
};

// One button of a choice: the answer it gives and its text.
struct BoxChoice {
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    QString text;
};

// `text` with "." appended when its last character's code lies above that of ".", so that a text
// ending in a letter or a digit gets a full stop and one ending in ".", "!" or a blank does not.
QString WithFullStop(const QString& text);

class MessageBoxes {
  public:
    // Title "QLM 2", error icon; the text follows the full-stop rule.
    static void ShowStandardError(QWidget* parent, const QString& text);
    // Title "Warnung", warning icon.
    static void ShowWarning(QWidget* parent, const QString& text);
    // Title "Fehler", error icon.
    static void ShowError(QWidget* parent, const QString& text);
    // `title` and `icon` as given, the buttons `open_text` (answered as QMessageBox::Open) and "OK",
    // the default; without `open_text`, "OK" alone.
    static QMessageBox::StandardButton ShowReport(QWidget* parent, QMessageBox::Icon icon,
                                                  const QString& title, const QString& text,
                                                  const QString& open_text);

    // A question with buttons of its own, in the order of `choices`; `escape` is the default
    // button and the answer to Escape and to closing the box, and so also the automatic answer.
    static QMessageBox::StandardButton ShowChoice(QWidget* parent, QMessageBox::Icon icon,
                                                  const QString& title, const QString& text,
                                                  const QList<BoxChoice>& choices,
                                                  QMessageBox::StandardButton escape);

    // A question with the buttons "Ja" (QMessageBox::Yes) and "Nein" (QMessageBox::No, the default),
    // title "QLM 2".
    static QMessageBox::StandardButton AskYesNo(QWidget* parent, const QString& text);

    // The next box is not shown but answered with `answer` (one answer per call, first in first out).
    static void SetNextAnswer(QMessageBox::StandardButton answer);
    // While on, every box without a preset answer is answered with its default button at once.
    static void SetAutoAnswer(bool on);
    // The boxes answered through the two calls above, oldest first.
    static QList<ShownBox> Recorded();
    static void ClearRecorded();

  private:
    // True when the box `shown` is answered without being shown; `answer` is then the preset one,
    // or `automatic` when none is preset.
    static bool AnsweredAhead(const ShownBox& shown, QMessageBox::StandardButton automatic,
                              QMessageBox::StandardButton& answer);
    static QMessageBox::StandardButton Show(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                            const QString& text, const QString& open_text = QString());
};

} // namespace qlm::ui
