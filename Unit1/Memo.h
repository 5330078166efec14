// A read-only multi-line text area for very long texts. The lines are kept
// as one UTF-8 buffer with the offset of each line, and only the lines in
// view are laid out and painted: millions of lines fill in a moment, take
// little more memory than their text, and scroll as smoothly as a few.
#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPoint>
#include <QRect>
#include <QString>

class QAction;
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A place in the text: a line and a position in it, counted in UTF-16 code
// units as QString counts them (0 is before the first character).
struct TTextPos {
    qsizetype line = 0;
    qsizetype col = 0;
    friend bool operator==(const TTextPos&, const TTextPos&) = default;
    friend auto operator<=>(const TTextPos&, const TTextPos&) = default;
};

class TMemo : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit TMemo(QWidget* parent = nullptr);

    // Removes every line; the selection goes and the view is back at the start.
    void Clear();
    // Appends one line (UTF-8, without its line break).
    void AddLine(std::string_view utf8);
    // Appends the lines of `utf8` in one go: each "\n" ends a line, and a last
    // line without one counts too.
    void AddLines(std::string utf8);

    qsizetype LineCount() const { return static_cast<qsizetype>(starts_.size()) - 1; }
    QString Line(qsizetype i) const;
    // All lines, joined by "\n".
    QString Text() const;

    // The selection runs from its anchor to its end, in either order.
    void Select(TTextPos anchor, TTextPos end);
    void SelectAll();
    // No selection; the caret at the start of the text.
    void Deselect();
    bool HasSelection() const { return anchor_ != end_; }
    QString SelectedText() const;
    // Puts the selected text on the clipboard.
    void Copy() const;

    // The first line in view, and scrolling to the start of the text.
    qsizetype FirstVisibleLine() const;
    void ScrollToStart();
    // The place under a point of the viewport, and the row a line takes in
    // the viewport (it may lie outside when the line is not in view).
    TTextPos PosAt(QPoint viewportPoint) const;
    QRect LineRect(qsizetype line) const;

    // Searching. The text is matched exactly, character for character; it
    // never spans two lines. Forward searches start at the end of the
    // selection (or the caret), backward ones before its start, and both go
    // on from the other end of the text when they reach one.
    enum class FindResult { Found, Wrapped, NotFound };
    FindResult Find(const QString& text, bool backward);
    // The selection (or the caret) as its first and last place.
    TTextPos SelectionStart() const { return std::min(anchor_, end_); }
    TTextPos SelectionEnd() const { return std::max(anchor_, end_); }
    // Scrolls, as little as it can, so that the columns [from, to) of a line
    // are in view; a line out of view comes to the middle.
    void ShowRange(qsizetype line, qsizetype from, qsizetype to);

    // Added to the context menu after the memo's own entries.
    void AddContextAction(QAction* action) { contextActions_.push_back(action); }

signals:
    // The lines were replaced or added to; once per call, however many lines.
    void linesChanged();
    // A line was double-clicked (and is now selected).
    void lineDoubleClicked(qsizetype line);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    std::string_view LineBytes(qsizetype i) const;
    TTextPos Clamp(TTextPos p) const;
    std::size_t ByteOffset(TTextPos p) const;
    TTextPos PosOfByte(std::size_t offset) const;
    void Indexed(std::size_t from);  // lines from byte `from` on were added
    void UpdateMetrics();
    void UpdateScrollBars();
    void DragTo(QPoint viewportPoint);
    qreal TextLeft() const;

    std::string text_;                // every line followed by "\n"
    std::vector<std::size_t> starts_{0};  // where each line starts, then the end of the text
    std::size_t widestLine_ = 0;      // the line that looks widest by its characters
    std::size_t widestUnits_ = 0;     // its width counting 1 for ASCII, 2 for any other character
    int textWidth_ = 0;               // pixels: the widest line measured so far
    int lineHeight_ = 1;
    qreal ascent_ = 0;
    TTextPos anchor_;
    TTextPos end_;
    bool dragging_ = false;
    QPoint dragPoint_;
    QBasicTimer autoScroll_;
    std::vector<QAction*> contextActions_;
};
