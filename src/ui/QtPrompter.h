#pragma once
// Message boxes on screen, with the application title as caption.

#include "core/Prompter.h"

#include <QWidget>

namespace qv {

class TQtPrompter : public IPrompter
{
public:
    explicit TQtPrompter(QWidget* parent = nullptr) : FParent(parent) {}
    TModalResult MessageBox(TMsgKind kind, TMsgButtons buttons, const std::string& text) override;
    void SetParent(QWidget* parent) { FParent = parent; }
    // Set when the desktop session ends: no box is shown any more, and one that was open when it
    // came answers nothing (mrNone), never No on the user's behalf.
    bool SessionEnding = false;

private:
    QWidget* FParent;
};

// The program's texts use "\r" for line breaks.
QString ToQt(const std::string& text);

// Qt's own Italian texts (the standard buttons "Sì", "No", "Annulla", the file dialogs), whatever the
// desktop's language: the program is Italian. False when the translations are not installed.
bool InstallItalianTranslations();

} // namespace qv
