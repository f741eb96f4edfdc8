// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The small frameless dialog that asks for a missing text (a title, keywords, a description or a
// picture's text) while a gallery is made. It only collects the text: the caller chooses the
// prompt, places the dialog and stores the answer. One dialog lives for the whole program and is
// reused for every question.

#include "core/generator.h"

#include <QDialog>
#include <QString>

#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qlm::ui {

class TFAskUser : public QDialog {
    Q_OBJECT

  public:
    explicit TFAskUser(QWidget* parent = nullptr);

    // Sets the prompt for `kind` ("?!?!?" for an unknown kind) and the initial answer text.
    // The text is UTF-8 where it is valid UTF-8 and read as Windows-1252 otherwise.
    void Prepare(AskKind kind, const std::string& initial_text);

    // The answer once the dialog has closed: the edited text exactly as it stands (UTF-8, blanks
    // kept, possibly empty) when it was accepted ("übernehmen", Enter), "<notext>" otherwise.
    std::string Answer() const;

    // Prepares the dialog, shows it at `place` (screen coordinates) modally and gives the answer.
    // A preset answer (tests) is given at once, without showing the dialog.
    std::string Ask(AskKind kind, const std::string& initial_text, const QPoint& place);

    // Tests: the next Ask is answered with `answer`, or declined when it is empty (first in, first
    // out). The prompts and initial texts of the questions answered that way are recorded.
    struct Asked {
        QString prompt;
        QString initial_text;
    };
    static void SetNextAnswer(std::optional<QString> answer);
    static QList<Asked> Recorded();
    static void ClearRecorded();

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QLabel* AskPic = nullptr;
    QLabel* AskText = nullptr;
    QLineEdit* Entertext = nullptr;
    QPushButton* OKText = nullptr;
    QPushButton* NoText = nullptr;
};

} // namespace qlm::ui
