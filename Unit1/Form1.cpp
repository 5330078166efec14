#include "Unit1/Form1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>
#include <climits>
#include <string>
#include <utility>

#include "Q6Unit/Q6Data.h"
#include "Unit1/DrawWindow.h"
#include "Unit1/FindBox.h"
#include "Unit1/Flows.h"
#include "Unit1/Report.h"

TForm1* Form1 = nullptr;

QIcon ApplicationIcon()
{
    Q_INIT_RESOURCE(icons);
    return QIcon::fromTheme("q6viewer", QIcon(":/icons/q6viewer.svg"));
}

namespace {

const char* const kCaption = "Q6データを開くテスト";
const char* const kFilter = "Q6図面データ(*.q6)";

// File names go to the file system in its own encoding; the extension and
// path tests work on UTF-8.
std::string LocalName(const QString& fn) { return QFile::encodeName(fn).toStdString(); }
std::string Utf8(const QString& s) { return s.toStdString(); }
QString FromUtf8(const std::string& s) { return QString::fromStdString(s); }

void SetFontSize(QWidget* w, int points)
{
    QFont f = w->font();
    f.setPointSize(points);
    w->setFont(f);
}

// The first local file among dropped URLs that has the drawing extension or
// begins as a drawing does, whatever its name (the command line opens any
// name too).
QString DroppedDrawing(const QMimeData* data)
{
    if (!data || !data->hasUrls()) return QString();
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QString fn = url.toLocalFile();
        if (HasQ6Extension(Utf8(fn))) return fn;
        TQ6Data probe;
        if (probe.FileCheck(LocalName(fn))) return fn;
    }
    return QString();
}

// Swallows the input that reached the application while it was busy: clicks
// and keys made during a long open would otherwise be replayed once it ends,
// and open the dialog again or type into the file name.
class InputDropper final : public QObject {
public:
    // Delivers everything that is waiting, input excepted.
    static void DropPending()
    {
        InputDropper dropper;
        QCoreApplication::instance()->installEventFilter(&dropper);
        QCoreApplication::processEvents();
        QCoreApplication::instance()->removeEventFilter(&dropper);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd: return true;
        default: return false;
        }
    }
};

}  // namespace

// The busy cursor while a drawing is loaded and listed or saved. The work
// runs on the interface thread, so the cursor is set before it starts and is
// the only sign of progress: the memo shows nothing until the whole report is
// there.
class TForm1::BusyCursor {
public:
    explicit BusyCursor(TForm1& form) : form_(form)
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        emit form_.busyChanged(true);
    }
    ~BusyCursor()
    {
        emit form_.busyChanged(false);
        QApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    TForm1& form_;
};

// One open or save: its button disabled while it runs; afterwards what was
// clicked or typed meanwhile is dropped, the button enabled again and, when
// the button started it, given the focus back (disabling it moved the focus
// on to the next control).
class TForm1::Running {
public:
    Running(QPushButton* button, bool focusAfter) : button_(button), focus_(focusAfter)
    {
        button_->setEnabled(false);
    }
    ~Running()
    {
        InputDropper::DropPending();
        button_->setEnabled(true);
        if (focus_) button_->setFocus(Qt::OtherFocusReason);
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

private:
    QPushButton* button_;
    bool focus_;
};

TForm1::TForm1(TDialogs& dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs)
{
    setWindowTitle(QString::fromUtf8(kCaption));
    setWindowIcon(ApplicationIcon());
    resize(640, 480);
    setAcceptDrops(true);

    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedHeight(41);

    Button1 = new QPushButton(QString::fromUtf8("参照"), Panel1);
    Button1->setObjectName("Button1");
    Button1->setFixedSize(57, 33);
    SetFontSize(Button1, 16);

    Edit1 = new QLineEdit(Panel1);
    Edit1->setObjectName("Edit1");
    Edit1->setFixedHeight(33);
    Edit1->setAcceptDrops(false);  // a dropped file opens; its name is not typed in

    Button2 = new QPushButton(QString::fromUtf8("保存するぜ！"), Panel1);
    Button2->setObjectName("Button2");
    Button2->setFixedSize(80, 33);
    // A size of its own, as 参照 and the memo have: at the desktop's usual 10
    // or 11 points its text would not fit in the 80 pixels.
    SetFontSize(Button2, 9);

    // Margins of 4 around each control: 4 at the panel's edges, 8 between two.
    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(8);
    row->addWidget(Button1);
    row->addWidget(Edit1, 1);
    row->addWidget(Button2);

    Memo1 = new TMemo(this);
    Memo1->setObjectName("Memo1");
    Memo1->setAcceptDrops(false);
    Memo1->viewport()->setAcceptDrops(false);
    SetFontSize(Memo1, 12);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(Panel1);
    column->addWidget(Memo1, 1);

    setTabOrder(Button1, Edit1);
    setTabOrder(Edit1, Button2);
    setTabOrder(Button2, Memo1);

    for (TFileDialog* d : {&OpenDialog1, &SaveDialog1}) {
        d->DefaultExt = "q6";
        d->Filter = QString::fromUtf8(kFilter);
    }
    OpenDialog1.kind = TFileDialog::Open;
    SaveDialog1.kind = TFileDialog::Save;
    SaveDialog1.OverwritePrompt = true;

    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);

    // The buttons from the keyboard, and the report's search.
    auto shortcut = [this](QKeySequence keys, auto action) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, action);
    };
    shortcut(QKeySequence::Open, [this] {
        if (Button1->isEnabled()) Button1->click();
    });
    shortcut(QKeySequence::Save, [this] {
        if (Button2->isEnabled()) Button2->click();
    });
    shortcut(QKeySequence::Find, [this] { ShowFind(); });
    shortcut(QKeySequence::FindNext, [this] { FindAgain(false); });
    shortcut(QKeySequence::FindPrevious, [this] { FindAgain(true); });

    // The drawing window, from the keyboard and from the memo's menu.
    ShowDrawingAction = new QAction(QString::fromUtf8("図面を表示"), this);
    ShowDrawingAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    ShowDrawingAction->setShortcutContext(Qt::WindowShortcut);
    addAction(ShowDrawingAction);
    connect(ShowDrawingAction, &QAction::triggered, this, &TForm1::ShowDrawing);
    Memo1->AddContextAction(ShowDrawingAction);
    connect(Memo1, &TMemo::lineDoubleClicked, this, &TForm1::ShowLineInDrawing);

    FormCreate(this);
}

TForm1::~TForm1()
{
    draw_.reset();
    if (Q6) FormClose(this);
}

void TForm1::FormCreate(QObject*) { Q6 = std::make_unique<TQ6Data>(); }

void TForm1::FormClose(QObject*)
{
    if (!Q6) return;
    Q6->DataFree();
    Q6.reset();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    FormClose(this);
    event->accept();
}

void TForm1::Button1Click()
{
    const std::string text = Utf8(Edit1->text());
    OpenDialog1.InitialDir = FromUtf8(DirectoryPart(text));
    OpenDialog1.FileName = FromUtf8(FileNamePart(text));
    if (!dialogs_.Execute(OpenDialog1, this)) return;
    const QString fn = OpenDialog1.FileName;
    if (!HasQ6Extension(Utf8(fn))) return;
    Edit1->setText(fn);
    Running running(Button1, true);
    proc(fn);
}

void TForm1::OpenFile(const QString& fn)
{
    Edit1->setText(fn);
    Running running(Button1, false);
    proc(fn);
}

bool TForm1::proc(const QString& fn)
{
    if (!Q6) return false;
    BusyCursor busy(*this);
    // Selection and caret back to the start, then every line removed.
    Memo1->Deselect();
    Memo1->ScrollToStart();
    Memo1->Clear();

    sections_.clear();
    sectionsEnd_ = 0;
    const OpenOutcome outcome = OpenDrawing(*Q6, LocalName(fn));
    if (const char* line = OpenFailureLine(outcome)) {
        Memo1->AddLine(line);
        // A failed check leaves the document as it was; a failed load leaves
        // part of a drawing, which the drawing window does not take.
        reportShown_ = false;
        return false;
    }
    // The whole report in one go: one call to the memo, however many lines.
    std::string report;
    const std::size_t lines = AppendReport(*Q6, report, &sections_);
    // The entity sections end where the separator and the 23 counts begin.
    sectionsEnd_ = static_cast<qsizetype>(lines >= 24 ? lines - 24 : 0);
    Memo1->AddLines(std::move(report));
    reportShown_ = true;
    if (draw_) UpdateDrawing();
    return true;
}

void TForm1::Button2Click()
{
    const std::string text = Utf8(Edit1->text());
    SaveDialog1.InitialDir = FromUtf8(DirectoryPart(text));
    SaveDialog1.FileName = FromUtf8(FileNamePart(text));
    if (!dialogs_.Execute(SaveDialog1, this)) return;
    const QString fn = SaveDialog1.FileName;
    if (!HasQ6Extension(Utf8(fn))) return;
    Edit1->setText(fn);
    Running running(Button2, true);
    proc2(fn);
}

bool TForm1::proc2(const QString& fn)
{
    SaveOutcome outcome;
    {
        BusyCursor busy(*this);  // not over the message box
        outcome = SaveDrawing(Q6.get(), LocalName(fn));
    }
    dialogs_.ShowMessage(QString::fromUtf8(SaveMessage(outcome)), this);
    return outcome == SaveOutcome::Saved;
}

void TForm1::ShowFind()
{
    if (!findBox_) {
        findBox_ = new TFindBox(this);
        connect(findBox_, &TFindBox::findRequested, this, &TForm1::Find);
    }
    // A selection within one line is what the user most likely looks for.
    const QString selected = Memo1->SelectedText();
    findBox_->Start(selected.contains('\n') ? QString() : selected);
}

void TForm1::FindAgain(bool backward)
{
    if (!findBox_ || findBox_->Text->text().isEmpty()) {
        ShowFind();
        return;
    }
    Find(findBox_->Text->text(), backward);
}

void TForm1::Find(const QString& text, bool backward)
{
    using R = TMemo::FindResult;
    using O = TFindBox::Outcome;
    const R r = Memo1->Find(text, backward);
    if (!findBox_) return;
    findBox_->Tell(r == R::NotFound ? O::NotFound
                   : r == R::Found  ? O::Found
                   : backward       ? O::WrappedToEnd
                                    : O::WrappedToStart);
}

void TForm1::UpdateDrawing()
{
    if (!draw_ || !Q6 || !reportShown_) return;
    BusyCursor busy(*this);
    draw_->SetScene(std::make_shared<const q6draw::Scene>(q6draw::Scene::Build(*Q6, assumptions_)));
}

void TForm1::ShowDrawing()
{
    if (!draw_) {
        draw_ = std::make_unique<TDrawWindow>();
        draw_->setWindowIcon(ApplicationIcon());
        connect(draw_->View, &TDrawView::itemClicked, this, &TForm1::ShowEntryInMemo);
        // Beside the main window.
        draw_->move(geometry().topRight() + QPoint(16, 0));
        UpdateDrawing();
    }
    draw_->show();
    draw_->raise();
    draw_->activateWindow();
}

qsizetype TForm1::SectionLine(std::int64_t entry) const
{
    if (entry < 0 || static_cast<std::size_t>(entry) >= sections_.size()) return -1;
    return static_cast<qsizetype>(sections_[static_cast<std::size_t>(entry)]);
}

std::int64_t TForm1::EntryAtLine(qsizetype line) const
{
    if (sections_.empty() || line >= sectionsEnd_) return -1;
    // Sections begin in increasing lines; entries that show nothing have -1.
    std::int64_t lo = 0, hi = static_cast<std::int64_t>(sections_.size()) - 1, found = -1;
    while (lo <= hi) {
        std::int64_t mid = lo + (hi - lo) / 2;
        std::int64_t m = mid;
        while (m >= lo && sections_[static_cast<std::size_t>(m)] < 0) --m;  // the nearest entry with a section
        if (m < lo) {
            lo = mid + 1;
            continue;
        }
        if (sections_[static_cast<std::size_t>(m)] <= line) {
            found = m;
            lo = mid + 1;
        } else {
            hi = m - 1;
        }
    }
    return found;
}

void TForm1::ShowEntryInMemo(std::int64_t entry)
{
    const qsizetype line = SectionLine(entry);
    if (line < 0) return;
    Memo1->verticalScrollBar()->setValue(static_cast<int>(std::min<qsizetype>(line, INT_MAX)));
    Memo1->Select(TTextPos{line, 0}, TTextPos{line, Memo1->Line(line).size()});
}

void TForm1::ShowLineInDrawing(qsizetype line)
{
    const std::int64_t entry = EntryAtLine(line);
    if (entry < 0) return;
    ShowDrawing();
    draw_->View->Select(entry, true);
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedDrawing(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event)
{
    const QString fn = DroppedDrawing(event->mimeData());
    if (fn.isEmpty()) return;
    event->acceptProposedAction();
    // Opened once the drop has finished, so that the program the file came
    // from does not wait for the load.
    QMetaObject::invokeMethod(this, [this, fn] { OpenFile(fn); }, Qt::QueuedConnection);
}
