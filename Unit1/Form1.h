// The main window: a browse button, the file name, a save button, and the
// report of the open drawing below them.
#pragma once

#include <QIcon>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "Q6Draw/Scene.h"

#include "Unit1/Dialogs.h"
#include "Unit1/Memo.h"

class QLineEdit;
class QPushButton;
class TDrawWindow;
class TFindBox;
class QAction;
class TQ6Data;

class TForm1 : public QWidget {
    Q_OBJECT

public:
    // The window shows its file dialogs and messages through `dialogs`, which
    // must outlive it.
    explicit TForm1(TDialogs& dialogs, QWidget* parent = nullptr);
    ~TForm1() override;

    QWidget* Panel1 = nullptr;
    QPushButton* Button1 = nullptr;  // browse and open
    QLineEdit* Edit1 = nullptr;      // the current file name, full path
    QPushButton* Button2 = nullptr;  // save
    TMemo* Memo1 = nullptr;          // the report, one line per report line
    TFileDialog OpenDialog1;
    TFileDialog SaveDialog1;

    // Create and release the one document.
    void FormCreate(QObject* sender);
    void FormClose(QObject* sender);

    void Button1Click();
    void Button2Click();
    // Checks, loads and reports fn: the report, or the one failure line.
    bool proc(const QString& fn);
    // Saves the document to fn and tells the outcome in a message box.
    bool proc2(const QString& fn);

    // Opens fn as though it had been chosen in the open dialog: the file name
    // given on the command line or dropped on the window.
    void OpenFile(const QString& fn);

    // Ctrl+F: the report's search box, made when first asked for; F3 and
    // Shift+F3 search again for its text.
    void ShowFind();
    void FindAgain(bool backward);
    TFindBox* FindBox() const { return findBox_; }

    // Ctrl+D and the memo's context menu: the drawing window, made when first
    // asked for; it follows every open that succeeds.
    void ShowDrawing();
    TDrawWindow* DrawWindow() const { return draw_.get(); }
    QAction* ShowDrawingAction = nullptr;
    // How the drawing window interprets what the file does not state.
    void SetAssumptions(const q6draw::Assumptions& a) { assumptions_ = a; }
    // The entry of the entity index whose report section holds a memo line,
    // or -1; and the first line of an entry's section, or -1.
    std::int64_t EntryAtLine(qsizetype line) const;
    qsizetype SectionLine(std::int64_t entry) const;

signals:
    // The busy cursor went up for an open or a save (true) or down again.
    void busyChanged(bool busy);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    class BusyCursor;
    class Running;
    void Find(const QString& text, bool backward);

    void ShowEntryInMemo(std::int64_t entry);
    void ShowLineInDrawing(qsizetype line);
    void UpdateDrawing();

    TDialogs& dialogs_;
    TFindBox* findBox_ = nullptr;
    std::unique_ptr<TDrawWindow> draw_;
    q6draw::Assumptions assumptions_;
    // Where each entry's section begins in the memo (-1: none), while the
    // memo shows the report of the document.
    std::vector<std::int64_t> sections_;
    qsizetype sectionsEnd_ = 0;  // the line after the last entity section
    bool reportShown_ = false;   // the memo holds the report of the document as it is
    std::unique_ptr<TQ6Data> Q6;
};

// The program's icon: the installed one when the theme has it, else the
// program's own copy. Every window of the program shows it.
QIcon ApplicationIcon();

// The program's main window.
extern TForm1* Form1;
