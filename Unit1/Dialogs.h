// The window's file dialogs and its message box, behind a small interface:
// the program hands the window the toolkit's own dialogs, the tests a
// scripted stand-in that answers with chosen file names and keeps the texts.
#pragma once

#include <QString>

class QWidget;

// One file dialog of the window: how it is set up, what it is seeded with
// before it is shown, and the file it returned.
struct TFileDialog {
    enum Kind { Open, Save };
    Kind kind = Open;
    QString DefaultExt;            // added to a typed name that has no extension
    QString Filter;                // "description (pattern)"
    bool OverwritePrompt = false;  // ask before an existing file is replaced
    QString InitialDir;            // empty: the toolkit's choice
    QString FileName;              // before Execute the proposed name, after it the chosen full path
};

class TDialogs {
public:
    virtual ~TDialogs() = default;
    // Shows the dialog modally over `owner`. True when the user confirmed a
    // file; its full path is then in dialog.FileName. False when cancelled.
    virtual bool Execute(TFileDialog& dialog, QWidget* owner) = 0;
    // Shows `text` modally with a single OK button and no icon; returns when
    // the user has closed it.
    virtual void ShowMessage(const QString& text, QWidget* owner) = 0;
};

// QFileDialog and QMessageBox.
class TQtDialogs final : public TDialogs {
public:
    bool Execute(TFileDialog& dialog, QWidget* owner) override;
    void ShowMessage(const QString& text, QWidget* owner) override;
};
