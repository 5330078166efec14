// The report's text area: its lines, selection, copying, scrolling and the
// mouse, on a real widget without a display.
#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QTextLayout>
#include <algorithm>
#include <string>
#include <vector>

#include "Unit1/Memo.h"

Q_DECLARE_METATYPE(TTextPos)
#include "QuietOffscreen.h"

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

QStringList LinesOf(const TMemo& m)
{
    QStringList out;
    for (qsizetype i = 0; i < m.LineCount(); ++i) out << m.Line(i);
    return out;
}

// "line 0" ... "line n-1"
std::string Numbered(int n)
{
    std::string s;
    for (int i = 0; i < n; ++i) s += "line " + std::to_string(i) + "\n";
    return s;
}

}  // namespace

class MemoTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TMemo> memo_;

    // The point in the viewport over the middle of a character of a line in
    // view; the text starts 4 pixels in from the left.
    QPoint PointAt(qsizetype line, int col) const
    {
        QTextLayout layout(memo_->Line(line), memo_->font(), memo_->viewport());
        layout.beginLayout();
        QTextLine l = layout.createLine();
        layout.endLayout();
        const qreal x = (l.cursorToX(col) + l.cursorToX(col + 1)) / 2;
        return QPoint(4 + static_cast<int>(x) - memo_->horizontalScrollBar()->value(), memo_->LineRect(line).center().y());
    }

private slots:
    void initTestCase() { SilenceSizeHintWarnings(); }
    void init()
    {
        memo_ = std::make_unique<TMemo>();
        memo_->resize(400, 300);
        memo_->show();
        QVERIFY(QTest::qWaitForWindowExposed(memo_.get()));
    }
    void cleanup() { memo_.reset(); }

    void linesAddedAndCleared()
    {
        TMemo& m = *memo_;
        QCOMPARE(m.LineCount(), qsizetype{0});
        QCOMPARE(m.Text(), QString());

        m.AddLines("図面\n\nlast without a break");
        QCOMPARE(LinesOf(m), (QStringList{U("図面"), "", "last without a break"}));
        m.AddLine("one more");
        m.AddLines("");
        m.AddLines("x\ny\n");
        m.AddLine("");
        QCOMPARE(LinesOf(m), (QStringList{U("図面"), "", "last without a break", "one more", "x", "y", ""}));
        QCOMPARE(m.Text(), U("図面\n\nlast without a break\none more\nx\ny\n"));
        QCOMPARE(m.Line(-1), QString());
        QCOMPARE(m.Line(7), QString());

        m.Select({0, 1}, {3, 2});
        m.verticalScrollBar()->setValue(2);
        m.Clear();
        QCOMPARE(m.LineCount(), qsizetype{0});
        QVERIFY(!m.HasSelection());
        QCOMPARE(m.FirstVisibleLine(), qsizetype{0});
        m.AddLine("again");
        QCOMPARE(LinesOf(m), QStringList{"again"});
    }

    void selectedText_data()
    {
        QTest::addColumn<qsizetype>("anchorLine");
        QTest::addColumn<qsizetype>("anchorCol");
        QTest::addColumn<qsizetype>("endLine");
        QTest::addColumn<qsizetype>("endCol");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, qsizetype al, qsizetype ac, qsizetype el, qsizetype ec, const QString& t) {
            QTest::newRow(name) << al << ac << el << ec << t;
        };
        row("nothing", 1, 2, 1, 2, "");
        row("inside one line", 0, 1, 0, 3, U("線オ"));
        row("backwards in one line", 0, 3, 0, 1, U("線オ"));
        row("across a break", 0, 5, 1, 2, U("ェクト\n　I"));
        row("whole lines in between", 0, 8, 3, 1, U("\n　ID:1\n\n("));
        row("backwards across lines", 3, 1, 0, 6, U("クト\n　ID:1\n\n("));
        row("past the end of a line", 1, 3, 1, 99, U(":1"));
        row("past the last line", 3, 4, 9, 0, U(", 20.5)"));
        row("before the first line", -5, 0, 0, 2, U("■線"));
    }
    void selectedText()
    {
        QFETCH(qsizetype, anchorLine);
        QFETCH(qsizetype, anchorCol);
        QFETCH(qsizetype, endLine);
        QFETCH(qsizetype, endCol);
        QFETCH(QString, text);
        memo_->AddLines("■線オブジェクト\n　ID:1\n\n(10 , 20.5)\n");
        memo_->Select({anchorLine, anchorCol}, {endLine, endCol});
        QCOMPARE(memo_->SelectedText(), text);
        QCOMPARE(memo_->HasSelection(), !text.isEmpty());

        QGuiApplication::clipboard()->setText("before");
        memo_->Copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), text.isEmpty() ? U("before") : text);
    }

    void keysSelectCopyAndScroll()
    {
        TMemo& m = *memo_;
        m.AddLines(Numbered(1000));
        m.setFocus();

        QTest::keyClick(&m, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&m, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), m.Text());
        QVERIFY(m.Text().endsWith("line 999"));

        const qsizetype page = m.verticalScrollBar()->pageStep();
        QVERIFY(page > 3);
        QTest::keyClick(&m, Qt::Key_Down);
        QCOMPARE(m.FirstVisibleLine(), qsizetype{1});
        QTest::keyClick(&m, Qt::Key_PageDown);
        QCOMPARE(m.FirstVisibleLine(), 1 + page);
        QTest::keyClick(&m, Qt::Key_Up);
        QCOMPARE(m.FirstVisibleLine(), page);
        QTest::keyClick(&m, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(m.FirstVisibleLine(), 1000 - page);  // the last line in view, at the bottom
        QVERIFY(m.LineRect(999).bottom() < m.viewport()->height());
        QVERIFY(m.LineRect(1000).bottom() >= m.viewport()->height());
        QCOMPARE(m.PosAt(m.LineRect(999).center()).line, qsizetype{999});
        QTest::keyClick(&m, Qt::Key_PageUp);
        QCOMPARE(m.FirstVisibleLine(), 1000 - 2 * page);
        QTest::keyClick(&m, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(m.FirstVisibleLine(), qsizetype{0});
    }

    void mouseSelects()
    {
        TMemo& m = *memo_;
        m.AddLines(Numbered(200));
        m.verticalScrollBar()->setValue(10);
        QCOMPARE(m.PosAt(PointAt(12, 0)), (TTextPos{12, 0}));
        QCOMPARE(m.PosAt(PointAt(14, 5)), (TTextPos{14, 5}));

        // From before "1" of "line 12" to after "4" of "line 14".
        QTest::mousePress(m.viewport(), Qt::LeftButton, Qt::NoModifier, PointAt(12, 5) - QPoint(3, 0));
        QTest::mouseMove(m.viewport(), PointAt(13, 2));
        QTest::mouseRelease(m.viewport(), Qt::LeftButton, Qt::NoModifier, PointAt(14, 6) + QPoint(3, 0));
        QCOMPARE(m.SelectedText(), U("12\nline 13\nline 14"));
        if (QGuiApplication::clipboard()->supportsSelection())
            QCOMPARE(QGuiApplication::clipboard()->text(QClipboard::Selection), m.SelectedText());

        // Shift extends from the same anchor.
        QTest::mouseClick(m.viewport(), Qt::LeftButton, Qt::ShiftModifier, PointAt(15, 0) - QPoint(3, 0));
        QCOMPARE(m.SelectedText(), U("12\nline 13\nline 14\n"));

        QTest::mouseDClick(m.viewport(), Qt::LeftButton, Qt::NoModifier, PointAt(20, 2));
        QCOMPARE(m.SelectedText(), U("line 20"));

        // Below the last line: the end of the text.
        m.verticalScrollBar()->setValue(m.verticalScrollBar()->maximum());
        QCOMPARE(m.PosAt(QPoint(5, 10000)), (TTextPos{199, 8}));
        QCOMPARE(m.PosAt(QPoint(5, -10000)), (TTextPos{0, 0}));
    }

    // The horizontal scroll bar reaches the end of the widest line, whether it
    // looked widest when it was added or only showed so when painted.
    void horizontalRangeCoversTheWidestLine()
    {
        TMemo& m = *memo_;
        // By its characters the line of i's looks widest; the W's are.
        const std::string narrow(160, 'i');
        const std::string wide(150, 'W');
        std::string japanese;
        for (int i = 0; i < 60; ++i) japanese += "図";
        m.AddLines("short\n" + narrow + "\n" + wide + "\n" + japanese + "\n");
        const QFontMetricsF fm(m.font());
        qreal widest = 0;
        for (const std::string& s : {narrow, wide, japanese})
            widest = std::max(widest, fm.horizontalAdvance(QString::fromStdString(s)));
        QTRY_VERIFY(m.horizontalScrollBar()->maximum() + m.viewport()->width() >= widest);
        QVERIFY(m.horizontalScrollBar()->maximum() + m.viewport()->width() <= widest + 20);

        m.horizontalScrollBar()->setValue(m.horizontalScrollBar()->maximum());
        QCOMPARE(m.PosAt(QPoint(m.viewport()->width() - 6, m.LineRect(2).center().y())), (TTextPos{2, 150}));
    }

    // What is painted: text where the lines are, the selection highlighted.
    void paintsLinesAndSelection()
    {
        TMemo& m = *memo_;
        m.AddLines("████████\n\na b c d e f g h i j\n");
        const QColor highlight = m.palette().color(QPalette::Highlight);
        const QColor base = m.palette().color(QPalette::Base);
        auto count = [&](const QImage& img, QColor c, int line) {
            const int y = m.LineRect(line).center().y();
            int n = 0;
            for (int x = 0; x < img.width(); ++x)
                if (img.pixelColor(x, y) == c) ++n;
            return n;
        };
        QImage plain = m.viewport()->grab().toImage();
        QVERIFY(count(plain, base, 0) < plain.width() - 40);  // text on the first line
        QCOMPARE(count(plain, base, 1), plain.width());       // nothing on the empty one
        QCOMPARE(count(plain, highlight, 0), 0);

        m.Select({2, 2}, {2, 14});
        QImage selected = m.viewport()->grab().toImage();
        QCOMPARE(count(selected, highlight, 0), 0);
        QVERIFY(count(selected, highlight, 2) > 10);
    }

    // Searching from the selection: each row starts with the selection at
    // [from, to) and looks for `needle` one way; the match (or the unchanged
    // selection) and the outcome follow.
    void findFromTheSelection_data()
    {
        QTest::addColumn<QString>("needle");
        QTest::addColumn<bool>("backward");
        QTest::addColumn<TTextPos>("from");
        QTest::addColumn<TTextPos>("to");
        QTest::addColumn<TTextPos>("matchFrom");
        QTest::addColumn<int>("outcome");  // TMemo::FindResult
        using R = TMemo::FindResult;
        // 0 "ab 図面 ab"   1 "x"   2 "図面ab"   3 ""   4 "aab"
        QTest::newRow("first from the caret") << "ab" << false << TTextPos{0, 0} << TTextPos{0, 0} << TTextPos{0, 0} << int(R::Found);
        QTest::newRow("next after the selection") << "ab" << false << TTextPos{0, 0} << TTextPos{0, 2} << TTextPos{0, 6} << int(R::Found);
        QTest::newRow("after double-byte characters") << "ab" << false << TTextPos{0, 6} << TTextPos{0, 8} << TTextPos{2, 2} << int(R::Found);
        QTest::newRow("overlapping text") << "ab" << false << TTextPos{2, 2} << TTextPos{2, 4} << TTextPos{4, 1} << int(R::Found);
        QTest::newRow("forward wraps to the start") << "ab" << false << TTextPos{4, 1} << TTextPos{4, 3} << TTextPos{0, 0} << int(R::Wrapped);
        QTest::newRow("backward before the selection") << "ab" << true << TTextPos{4, 1} << TTextPos{4, 3} << TTextPos{2, 2} << int(R::Found);
        QTest::newRow("backward across lines") << "ab" << true << TTextPos{2, 2} << TTextPos{2, 4} << TTextPos{0, 6} << int(R::Found);
        QTest::newRow("backward wraps to the end") << "ab" << true << TTextPos{0, 0} << TTextPos{0, 2} << TTextPos{4, 1} << int(R::Wrapped);
        QTest::newRow("reversed selection, backward") << "ab" << true << TTextPos{0, 8} << TTextPos{0, 6} << TTextPos{0, 0} << int(R::Found);
        QTest::newRow("Japanese") << U("図面") << false << TTextPos{0, 4} << TTextPos{0, 4} << TTextPos{2, 0} << int(R::Found);
        QTest::newRow("only match is the selection") << "x" << false << TTextPos{1, 0} << TTextPos{1, 1} << TTextPos{1, 0} << int(R::Wrapped);
        QTest::newRow("a line break never matches") << "x\n" << false << TTextPos{0, 0} << TTextPos{0, 0} << TTextPos{0, 0} << int(R::NotFound);
        QTest::newRow("missing") << "abc" << false << TTextPos{0, 1} << TTextPos{0, 2} << TTextPos{0, 1} << int(R::NotFound);
        QTest::newRow("missing, backward") << U("面a面") << true << TTextPos{0, 1} << TTextPos{0, 2} << TTextPos{0, 1} << int(R::NotFound);
        QTest::newRow("empty") << "" << false << TTextPos{0, 1} << TTextPos{0, 2} << TTextPos{0, 1} << int(R::NotFound);
    }
    void findFromTheSelection()
    {
        QFETCH(QString, needle);
        QFETCH(bool, backward);
        QFETCH(TTextPos, from);
        QFETCH(TTextPos, to);
        QFETCH(TTextPos, matchFrom);
        QFETCH(int, outcome);
        TMemo& m = *memo_;
        m.AddLines("ab 図面 ab\nx\n図面ab\n\naab");
        m.Select(from, to);

        const auto r = m.Find(needle, backward);

        QCOMPARE(int(r), outcome);
        if (r == TMemo::FindResult::NotFound) {
            QCOMPARE(m.SelectionStart(), std::min(from, to));
            QCOMPARE(m.SelectionEnd(), std::max(from, to));
        } else {
            QCOMPARE(m.SelectionStart(), matchFrom);
            QCOMPARE(m.SelectionEnd(), (TTextPos{matchFrom.line, matchFrom.col + needle.size()}));
            QCOMPARE(m.SelectedText(), needle);
        }
    }

    // A match far down, and far to the right, is scrolled into view; one in
    // view scrolls nothing. The backward search finds matches several of its
    // 4 MiB blocks back.
    void findScrollsTheMatchIntoView()
    {
        TMemo& m = *memo_;
        std::string text = Numbered(500000);
        text += std::string(3000, '-') + "needle\n";
        text += Numbered(10);
        m.AddLines(text);
        QScrollBar* v = m.verticalScrollBar();
        QScrollBar* h = m.horizontalScrollBar();

        QCOMPARE(int(m.Find("line 5", false)), int(TMemo::FindResult::Found));
        QCOMPARE(v->value(), 0);
        QCOMPARE(int(m.Find("needle", false)), int(TMemo::FindResult::Found));
        const qsizetype at = 500000;
        QCOMPARE(m.SelectionStart(), (TTextPos{at, 3000}));
        QVERIFY(m.FirstVisibleLine() <= at && at < m.FirstVisibleLine() + v->pageStep());
        const QRect row = m.LineRect(at);
        QVERIFY(row.top() >= 0 && row.bottom() < m.viewport()->height());
        QVERIFY(h->value() > 0);
        // The match's first character lies within the viewport.
        QTextLayout layout(m.Line(at), m.font(), m.viewport());
        layout.beginLayout();
        QTextLine l = layout.createLine();
        layout.endLayout();
        const qreal x = 4 + l.cursorToX(3000) - h->value();
        QVERIFY2(x >= 0 && x < m.viewport()->width(), qPrintable(QString::number(x)));

        // Backward from the end: "line 499999", then 390000 lines (5 MB) back.
        m.Select({at + 10, 0}, {at + 10, 0});
        QCOMPARE(int(m.Find("line 499999", true)), int(TMemo::FindResult::Found));
        QCOMPARE(m.SelectionStart(), (TTextPos{499999, 0}));
        QCOMPARE(int(m.Find("line 10", true)), int(TMemo::FindResult::Found));
        QCOMPARE(m.SelectionStart(), (TTextPos{109999, 0}));
        m.Select({5, 0}, {5, 0});
        QCOMPARE(int(m.Find("line 3", true)), int(TMemo::FindResult::Found));
        QCOMPARE(m.SelectionStart(), (TTextPos{3, 0}));
        QCOMPARE(v->value(), 0);
    }

    // The one match lies across the border of the backward search's first
    // block (4 MiB back from the end) and is still found.
    void backwardFindAcrossTheBlockBorder()
    {
        TMemo& m = *memo_;
        std::string text = "start\nneedle\n";
        for (int i = 0; i < 41943; ++i) text += std::string(99, 'x') + "\n";
        // "needle" begins 4 MiB + 3 bytes before the end of the text.
        QCOMPARE(text.size() - text.find("needle"), std::size_t{(4u << 20) + 3});
        m.AddLines(text);
        const qsizetype last = m.LineCount() - 1;
        m.Select({last, 99}, {last, 99});
        QCOMPARE(int(m.Find("needle", true)), int(TMemo::FindResult::Found));
        QCOMPARE(m.SelectionStart(), (TTextPos{1, 0}));
        m.Select({last, 99}, {last, 99});
        QCOMPARE(int(m.Find("eed", true)), int(TMemo::FindResult::Found));
        QCOMPARE(m.SelectionStart(), (TTextPos{1, 1}));
    }
};

QTEST_MAIN(MemoTest)
#include "MemoTest.moc"
