// The report's search box: a small window beside the main window with the
// text to look for and the two directions. It does not search itself: it
// asks, and shows how the last search went.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TFindBox : public QDialog {
    Q_OBJECT

public:
    explicit TFindBox(QWidget* parent = nullptr);

    QLineEdit* Text = nullptr;
    QPushButton* Previous = nullptr;
    QPushButton* Next = nullptr;
    QLabel* Status = nullptr;

    // Shows the box with `text` (when not empty) selected in its field.
    void Start(const QString& text);
    // How the last search went, in words: found (nothing said), found after
    // going on from the other end, or not found.
    enum class Outcome { Found, WrappedToStart, WrappedToEnd, NotFound };
    void Tell(Outcome outcome);

signals:
    void findRequested(const QString& text, bool backward);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
