#include "Unit1/Memo.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <string_view>
#include <utility>

namespace {

constexpr int kMargin = 4;  // around the text, in pixels

// One line laid out as a single line of text, however long.
struct LaidOutLine {
    LaidOutLine(const QString& text, const QFont& font, QPaintDevice* device) : layout(text, font, device)
    {
        layout.setCacheEnabled(true);
        layout.beginLayout();
        line = layout.createLine();
        layout.endLayout();
    }
    QTextLayout layout;
    QTextLine line;
};

// How wide a line looks without laying it out: 1 for an ASCII character, 2
// for any other (UTF-8 lead bytes count twice, continuation bytes not at all).
std::size_t WidthUnits(const char* p, std::size_t n)
{
    std::size_t units = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        units += static_cast<std::size_t>((c & 0xC0) != 0x80) + static_cast<std::size_t>(c >= 0xC0);
    }
    return units;
}

// Where `needle` first occurs in hay at or after `from`; npos when nowhere.
std::size_t FindForward(std::string_view hay, std::string_view needle, std::size_t from)
{
    if (from >= hay.size()) return std::string_view::npos;
    const void* m = memmem(hay.data() + from, hay.size() - from, needle.data(), needle.size());
    return m ? static_cast<std::size_t>(static_cast<const char*>(m) - hay.data()) : std::string_view::npos;
}

// Where the last occurrence of `needle` that starts before `before` starts.
// The text is searched forward a block at a time, from the back, so that a
// miss costs no more than a forward search.
std::size_t FindBackward(std::string_view hay, std::string_view needle, std::size_t before)
{
    const std::size_t n = needle.size();
    const std::size_t block = std::max<std::size_t>(std::size_t{4} << 20, 2 * n);
    std::size_t hi = std::min(hay.size(), before + n - 1);  // a match ends at hi at the latest
    while (hi >= n) {
        const std::size_t lo = hi > block ? hi - block : 0;
        const std::string_view part = hay.substr(0, hi);
        std::size_t last = std::string_view::npos;
        for (std::size_t at = FindForward(part, needle, lo); at != std::string_view::npos;
             at = FindForward(part, needle, at + 1))
            last = at;
        if (last != std::string_view::npos || lo == 0) return last;
        hi = lo + n - 1;  // the next block reaches into this one by all but one byte of the needle
    }
    return std::string_view::npos;
}

}  // namespace

TMemo::TMemo(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    UpdateMetrics();
}

std::string_view TMemo::LineBytes(qsizetype i) const
{
    const auto k = static_cast<std::size_t>(i);
    return std::string_view(text_).substr(starts_[k], starts_[k + 1] - starts_[k] - 1);
}

QString TMemo::Line(qsizetype i) const
{
    if (i < 0 || i >= LineCount()) return QString();
    const std::string_view b = LineBytes(i);
    return QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size()));
}

QString TMemo::Text() const
{
    if (text_.empty()) return QString();
    return QString::fromUtf8(text_.data(), static_cast<qsizetype>(text_.size() - 1));
}

void TMemo::Clear()
{
    std::string().swap(text_);  // a large report gives its memory back
    std::vector<std::size_t>{0}.swap(starts_);
    widestLine_ = 0;
    widestUnits_ = 0;
    textWidth_ = 0;
    anchor_ = end_ = TTextPos{};
    UpdateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    emit linesChanged();
}

void TMemo::AddLine(std::string_view utf8)
{
    const std::size_t from = text_.size();
    text_.append(utf8);
    text_ += '\n';
    Indexed(from);
}

void TMemo::AddLines(std::string utf8)
{
    if (utf8.empty()) return;
    const std::size_t from = text_.size();
    if (text_.empty()) text_ = std::move(utf8);
    else text_ += utf8;
    if (text_.back() != '\n') text_ += '\n';
    Indexed(from);
}

void TMemo::Indexed(std::size_t from)
{
    const std::size_t widestBefore = widestLine_;
    const char* const base = text_.data();
    std::size_t at = from;
    while (at < text_.size()) {
        const auto* nl = static_cast<const char*>(std::memchr(base + at, '\n', text_.size() - at));
        const std::size_t end = static_cast<std::size_t>(nl - base);  // every line ends in "\n"
        const std::size_t units = WidthUnits(base + at, end - at);
        if (units > widestUnits_) {
            widestUnits_ = units;
            widestLine_ = starts_.size() - 1;
        }
        at = end + 1;
        starts_.push_back(at);
    }
    if (widestLine_ != widestBefore || textWidth_ == 0) {
        const LaidOutLine l(Line(static_cast<qsizetype>(widestLine_)), font(), viewport());
        textWidth_ = std::max(textWidth_, static_cast<int>(std::ceil(l.line.naturalTextWidth())));
    }
    UpdateScrollBars();
    viewport()->update();
    emit linesChanged();
}

void TMemo::UpdateMetrics()
{
    // Japanese characters come from a fallback font that may be taller than
    // the memo's own: every line gets the height of the tallest.
    const QFontMetricsF fm(font());
    const LaidOutLine sample(QString::fromUtf8("Ag■図ｶあ漢"), font(), viewport());
    ascent_ = std::max(fm.ascent(), sample.line.ascent());
    const qreal descent = std::max(fm.descent(), sample.line.descent());
    lineHeight_ = std::max(1, static_cast<int>(std::ceil(ascent_ + descent + std::max<qreal>(0, fm.leading()))));
    if (LineCount() > 0) {
        const LaidOutLine l(Line(static_cast<qsizetype>(widestLine_)), font(), viewport());
        textWidth_ = static_cast<int>(std::ceil(l.line.naturalTextWidth()));
    }
    UpdateScrollBars();
    viewport()->update();
}

void TMemo::UpdateScrollBars()
{
    const int page = std::max(1, (viewport()->height() - kMargin) / lineHeight_);
    QScrollBar* v = verticalScrollBar();
    const qsizetype lastFirst = std::max<qsizetype>(0, LineCount() - page);
    v->setRange(0, static_cast<int>(std::min<qsizetype>(lastFirst, INT_MAX)));
    v->setPageStep(page);
    v->setSingleStep(1);
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, textWidth_ + 2 * kMargin - viewport()->width()));
    h->setPageStep(std::max(1, viewport()->width()));
    h->setSingleStep(std::max(1, fontMetrics().averageCharWidth() * 2));
}

qsizetype TMemo::FirstVisibleLine() const { return verticalScrollBar()->value(); }

void TMemo::ScrollToStart()
{
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

qreal TMemo::TextLeft() const { return kMargin - horizontalScrollBar()->value(); }

TTextPos TMemo::Clamp(TTextPos p) const
{
    const qsizetype n = LineCount();
    if (n == 0 || p.line < 0) return TTextPos{};
    if (p.line >= n) return TTextPos{n - 1, Line(n - 1).size()};
    return TTextPos{p.line, std::clamp<qsizetype>(p.col, 0, Line(p.line).size())};
}

TTextPos TMemo::PosAt(QPoint point) const
{
    const qsizetype n = LineCount();
    if (n == 0) return TTextPos{};
    const auto row = static_cast<qsizetype>(std::floor(static_cast<double>(point.y() - kMargin) / lineHeight_));
    const qsizetype line = FirstVisibleLine() + row;
    if (line < 0) return TTextPos{};
    if (line >= n) return Clamp(TTextPos{n, 0});
    const LaidOutLine l(Line(line), font(), viewport());
    return TTextPos{line, l.line.xToCursor(point.x() - TextLeft())};
}

QRect TMemo::LineRect(qsizetype line) const
{
    const qsizetype top = kMargin + (line - FirstVisibleLine()) * lineHeight_;
    return QRect(0, static_cast<int>(std::clamp<qsizetype>(top, INT_MIN / 2, INT_MAX / 2)), viewport()->width(), lineHeight_);
}

std::size_t TMemo::ByteOffset(TTextPos p) const
{
    p = Clamp(p);
    if (LineCount() == 0) return 0;
    return starts_[static_cast<std::size_t>(p.line)] + static_cast<std::size_t>(Line(p.line).left(p.col).toUtf8().size());
}

TTextPos TMemo::PosOfByte(std::size_t offset) const
{
    if (LineCount() == 0) return TTextPos{};
    offset = std::min(offset, text_.size() - 1);
    const auto next = std::upper_bound(starts_.begin(), starts_.end(), offset);
    const auto line = static_cast<std::size_t>(next - starts_.begin()) - 1;
    const char* at = text_.data() + starts_[line];
    const auto prefix = static_cast<qsizetype>(offset - starts_[line]);
    return TTextPos{static_cast<qsizetype>(line), QString::fromUtf8(at, prefix).size()};
}

TMemo::FindResult TMemo::Find(const QString& text, bool backward)
{
    const QByteArray utf8 = text.toUtf8();
    if (utf8.isEmpty() || utf8.contains('\n') || text_.empty()) return FindResult::NotFound;
    const std::string_view hay(text_);
    const std::string_view needle(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    std::size_t at = std::string_view::npos;
    bool wrapped = false;
    if (!backward) {
        at = FindForward(hay, needle, ByteOffset(SelectionEnd()));
        if (at == std::string_view::npos) {
            wrapped = true;
            at = FindForward(hay, needle, 0);
        }
    } else {
        at = FindBackward(hay, needle, ByteOffset(SelectionStart()));
        if (at == std::string_view::npos) {
            wrapped = true;
            at = FindBackward(hay, needle, hay.size());
        }
    }
    if (at == std::string_view::npos) return FindResult::NotFound;
    const TTextPos from = PosOfByte(at);
    const TTextPos to{from.line, from.col + text.size()};
    Select(from, to);
    ShowRange(from.line, from.col, to.col);
    return wrapped ? FindResult::Wrapped : FindResult::Found;
}

void TMemo::ShowRange(qsizetype line, qsizetype from, qsizetype to)
{
    if (line < 0 || line >= LineCount()) return;
    QScrollBar* v = verticalScrollBar();
    const qsizetype first = FirstVisibleLine();
    const qsizetype page = std::max(1, v->pageStep());
    if (line < first || line >= first + page)
        v->setValue(static_cast<int>(std::clamp<qsizetype>(line - page / 2, 0, v->maximum())));

    const LaidOutLine l(Line(line), font(), viewport());
    const int width = static_cast<int>(std::ceil(l.line.naturalTextWidth()));
    if (width > textWidth_) {
        textWidth_ = width;
        UpdateScrollBars();
    }
    QScrollBar* h = horizontalScrollBar();
    const int x0 = static_cast<int>(std::floor(l.line.cursorToX(static_cast<int>(from))));
    const int x1 = static_cast<int>(std::ceil(l.line.cursorToX(static_cast<int>(to))));
    const int shown = std::max(1, viewport()->width() - 2 * kMargin);
    if (x0 < h->value() || x1 > h->value() + shown) h->setValue(std::max(0, x0 - shown / 3));
    viewport()->update();
}

void TMemo::Select(TTextPos anchor, TTextPos end)
{
    anchor_ = Clamp(anchor);
    end_ = Clamp(end);
    viewport()->update();
}

void TMemo::SelectAll()
{
    const qsizetype n = LineCount();
    Select(TTextPos{}, n == 0 ? TTextPos{} : TTextPos{n - 1, Line(n - 1).size()});
}

void TMemo::Deselect()
{
    anchor_ = end_ = TTextPos{};
    viewport()->update();
}

QString TMemo::SelectedText() const
{
    if (!HasSelection()) return QString();
    const TTextPos b = std::min(anchor_, end_);
    const TTextPos e = std::max(anchor_, end_);
    if (b.line == e.line) return Line(b.line).mid(b.col, e.col - b.col);
    QString out = Line(b.line).mid(b.col);
    out += '\n';
    if (e.line > b.line + 1) {
        // The whole lines in between straight from the buffer, breaks included.
        const std::size_t from = starts_[static_cast<std::size_t>(b.line + 1)];
        const std::size_t to = starts_[static_cast<std::size_t>(e.line)];
        out += QString::fromUtf8(text_.data() + from, static_cast<qsizetype>(to - from));
    }
    out += Line(e.line).left(e.col);
    return out;
}

void TMemo::Copy() const
{
    if (HasSelection()) QGuiApplication::clipboard()->setText(SelectedText());
}

void TMemo::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const qsizetype n = LineCount();
    const qsizetype first = FirstVisibleLine();
    const qsizetype rows = viewport()->height() / lineHeight_ + 2;
    const qsizetype last = std::min(n, first + rows);
    const TTextPos b = std::min(anchor_, end_);
    const TTextPos e = std::max(anchor_, end_);
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));
    painter.setPen(palette().color(QPalette::Text));
    int widest = textWidth_;
    for (qsizetype i = first; i < last; ++i) {
        const QString text = Line(i);
        const LaidOutLine l(text, font(), viewport());
        QList<QTextLayout::FormatRange> ranges;
        if (HasSelection() && b.line <= i && i <= e.line) {
            const qsizetype from = i == b.line ? b.col : 0;
            const qsizetype to = i == e.line ? e.col : text.size();
            if (to > from) ranges.append({static_cast<int>(from), static_cast<int>(to - from), selected});
        }
        l.layout.draw(&painter, QPointF(TextLeft(), LineRect(i).top() + ascent_ - l.line.ascent()), ranges);
        widest = std::max(widest, static_cast<int>(std::ceil(l.line.naturalTextWidth())));
    }
    if (widest > textWidth_) {
        // A line wider than it looked: let the horizontal scroll bar reach it.
        textWidth_ = widest;
        QMetaObject::invokeMethod(this, [this] { UpdateScrollBars(); }, Qt::QueuedConnection);
    }
}

void TMemo::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void TMemo::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) UpdateMetrics();
}

void TMemo::scrollContentsBy(int, int) { viewport()->update(); }

void TMemo::keyPressEvent(QKeyEvent* event)
{
    if (event == QKeySequence::Copy) {
        Copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        SelectAll();
        return;
    }
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Up: v->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Down: v->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_PageUp: v->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case Qt::Key_PageDown: v->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case Qt::Key_Left: h->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Right: h->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_Home: (ctrl ? v : h)->triggerAction(QAbstractSlider::SliderToMinimum); break;
    case Qt::Key_End: (ctrl ? v : h)->triggerAction(QAbstractSlider::SliderToMaximum); break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
}

void TMemo::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const TTextPos p = PosAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier)) anchor_ = p;
    end_ = p;
    dragging_ = true;
    dragPoint_ = event->position().toPoint();
    viewport()->update();
}

void TMemo::DragTo(QPoint point)
{
    dragPoint_ = point;
    const bool outside = point.y() < 0 || point.y() >= viewport()->height();
    if (outside && !autoScroll_.isActive()) autoScroll_.start(50, this);
    if (!outside) autoScroll_.stop();
    end_ = PosAt(point);
    viewport()->update();
}

void TMemo::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging_ && (event->buttons() & Qt::LeftButton)) DragTo(event->position().toPoint());
}

void TMemo::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !dragging_) return;
    end_ = PosAt(event->position().toPoint());
    dragging_ = false;
    autoScroll_.stop();
    viewport()->update();
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (HasSelection() && clipboard->supportsSelection()) clipboard->setText(SelectedText(), QClipboard::Selection);
}

void TMemo::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || LineCount() == 0) return;
    const TTextPos p = PosAt(event->position().toPoint());
    Select(TTextPos{p.line, 0}, TTextPos{p.line, Line(p.line).size()});
    emit lineDoubleClicked(p.line);
}

void TMemo::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != autoScroll_.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    if (!dragging_) {
        autoScroll_.stop();
        return;
    }
    QScrollBar* v = verticalScrollBar();
    v->triggerAction(dragPoint_.y() < 0 ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd);
    DragTo(dragPoint_);
}

void TMemo::contextMenuEvent(QContextMenuEvent* event)
{
    // The toolkit's own words, in the user's language when it has them.
    QMenu menu(this);
    QAction* copy = menu.addAction(QCoreApplication::translate("QWidgetTextControl", "&Copy"), this, &TMemo::Copy);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(HasSelection());
    QAction* all = menu.addAction(QCoreApplication::translate("QWidgetTextControl", "Select All"), this, &TMemo::SelectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(LineCount() > 0);
    if (!contextActions_.empty()) menu.addSeparator();
    for (QAction* a : contextActions_) menu.addAction(a);
    menu.exec(event->globalPos());
}
