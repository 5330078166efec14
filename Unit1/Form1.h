// The main window: a browse button, the file name, a save button, and the
// report of the open drawing below them.
#pragma once

#include <QIcon>
#include <QWidget>
#include <memory>

#include "Unit1/Dialogs.h"
#include "Unit1/Memo.h"

class QLineEdit;
class QPushButton;
class TFindBox;
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

    TDialogs& dialogs_;
    TFindBox* findBox_ = nullptr;
    std::unique_ptr<TQ6Data> Q6;
};

// The program's icon: the installed one when the theme has it, else the
// program's own copy. Every window of the program shows it.
QIcon ApplicationIcon();

// The program's main window.
extern TForm1* Form1;
