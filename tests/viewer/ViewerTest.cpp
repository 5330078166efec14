// The main window driven as a user would: the file dialogs answer with chosen
// names, the message box keeps its texts, and the memo is read back.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGlyphRun>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QContextMenuEvent>
#include <QWheelEvent>
#include <QAction>
#include <cmath>
#include <QScopeGuard>
#include <QMessageBox>
#include <QAbstractButton>
#include <QTextLayout>
#include <QUrl>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ChunkBuilder.h"
#include "DrawFixtures.h"
#include "PixelChecks.h"
#include "Q6Draw/Paint.h"
#include "Unit1/DrawWindow.h"
#include "Q6Unit/Q6Data.h"
#include "Unit1/Dialogs.h"
#include "Unit1/FindBox.h"
#include "Unit1/Memo.h"
#include "QuietOffscreen.h"
#include "Unit1/Flows.h"
#include "Unit1/Form1.h"
#include "Unit1/Report.h"

namespace {

using tb::Bytes;
using tb::Cat;
using tb::Chunk;

// Stands in for the file dialogs and the message box: each Execute takes the
// next answer (a file name, or nothing for Cancel) and keeps a copy of the
// dialog as it was shown; each message is kept.
class ScriptedDialogs final : public TDialogs {
public:
    std::deque<std::optional<QString>> answers;
    std::vector<TFileDialog> shown;
    QStringList messages;
    std::function<void()> whileMessageShown;

    bool Execute(TFileDialog& dialog, QWidget* owner) override
    {
        shown.push_back(dialog);
        owners.push_back(owner);
        if (answers.empty()) {
            unexpected = true;
            return false;
        }
        const std::optional<QString> a = answers.front();
        answers.pop_front();
        if (!a) return false;
        dialog.FileName = *a;
        return true;
    }
    void ShowMessage(const QString& text, QWidget* owner) override
    {
        messages << text;
        owners.push_back(owner);
        if (whileMessageShown) whileMessageShown();
    }

    std::vector<QWidget*> owners;
    bool unexpected = false;  // a dialog was shown that the test did not expect
};

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// Two small drawings that list differently, and files that are none.
tb::Buf DrawingA()
{
    return Cat({tb::Title("\x90\x7D\x96\xCA A"), tb::Point(1, 10, 20), tb::Point(2, -3.5, 4)});
}
tb::Buf DrawingB() { return Cat({tb::Title("B"), tb::Point(7, 1, 1)}); }
tb::Buf SettingsOnly() { return tb::Title("no entities"); }

// The report of a file as the shared report module writes it, one line per
// line, or an empty string when the file does not load.
QString ReportOf(const QString& fn)
{
    TQ6Data doc;
    if (OpenDrawing(doc, QFile::encodeName(fn).toStdString()) != OpenOutcome::Loaded) return QString();
    std::string text;
    AppendReport(doc, text);
    if (!text.empty()) text.pop_back();
    return QString::fromStdString(text);
}

// Runs `inspect` on the modal dialog once it is up, from inside its loop.
void WhenModal(const std::function<void(QWidget*)>& inspect)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
        if (QWidget* w = QApplication::activeModalWidget(); w && w->isVisible()) {
            poll->stop();
            poll->deleteLater();
            inspect(w);
        }
    });
    poll->start();
}

}  // namespace

class ViewerTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<TForm1> form_;

    QString Path(const QString& name) const { return dir_->filePath(name); }
    QString Write(const QString& name, const tb::Buf& bytes) const
    {
        const QString fn = Path(name);
        QDir().mkpath(QFileInfo(fn).path());
        QFile f(fn);
        if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(fn));
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return fn;
    }
    QString Memo() const { return form_->Memo1->Text(); }
    // Button1 or Button2 clicked, the dialog answering `answer`.
    void Open(const std::optional<QString>& answer)
    {
        dialogs_->answers.push_back(answer);
        QTest::mouseClick(form_->Button1, Qt::LeftButton);
    }
    void Save(const std::optional<QString>& answer)
    {
        dialogs_->answers.push_back(answer);
        if (form_->isVisible()) QTest::mouseClick(form_->Button2, Qt::LeftButton);
        else form_->Button2->click();  // after the window was closed
    }
    void BothButtonsEnabled() const
    {
        QVERIFY(form_->Button1->isEnabled());
        QVERIFY(form_->Button2->isEnabled());
    }

    // Names for the extension test, each file holding a loadable drawing so
    // that opening one that should have been ignored shows.
    static void ExtensionRows()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("drawing.Q6") << "drawing.Q6" << true;
        QTest::newRow("drawing.q6") << "drawing.q6" << true;
        QTest::newRow("mixed case") << "Drawing.Q6" << true;
        QTest::newRow("two extensions, .q6 last") << "drawing.txt.q6" << true;
        QTest::newRow("Japanese name") << U("図面.q6") << true;
        QTest::newRow("drawing.q6x") << "drawing.q6x" << false;
        QTest::newRow("drawing.txt") << "drawing.txt" << false;
        QTest::newRow("no extension") << "drawing" << false;
        QTest::newRow(".q6 before the last dot") << "drawing.q6.bak" << false;
        QTest::newRow("dot only in the folder") << "folder.q6/drawing" << false;
        QTest::newRow("ends in q6 without a dot") << "drawingq6" << false;
        QTest::newRow("full-width Ｑ６") << U("drawing.Ｑ６") << false;
    }

private slots:
    void initTestCase() { SilenceSizeHintWarnings(); }

    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        dialogs_ = std::make_unique<ScriptedDialogs>();
        form_ = std::make_unique<TForm1>(*dialogs_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    void cleanup()
    {
        if (form_) QVERIFY2(!dialogs_->unexpected, "a dialog was shown without an answer");
        if (form_) QVERIFY2(dialogs_->answers.empty(), "an expected dialog was not shown");
        form_.reset();
        dialogs_.reset();
        dir_.reset();
    }

    void layoutAndTexts()
    {
        TForm1& f = *form_;
        QCOMPARE(f.windowTitle(), U("Q6データを開くテスト"));
        QCOMPARE(f.size(), QSize(640, 480));
        QCOMPARE(f.Panel1->geometry(), QRect(0, 0, 640, 41));
        QCOMPARE(f.Button1->parentWidget(), f.Panel1);
        QCOMPARE(f.Edit1->parentWidget(), f.Panel1);
        QCOMPARE(f.Button2->parentWidget(), f.Panel1);
        QCOMPARE(f.Button1->geometry(), QRect(4, 4, 57, 33));
        QCOMPARE(f.Edit1->geometry(), QRect(4 + 57 + 8, 4, 640 - (4 + 57 + 8) - (8 + 80 + 4), 33));
        QCOMPARE(f.Button2->geometry(), QRect(640 - 4 - 80, 4, 80, 33));
        QCOMPARE(f.Memo1->geometry(), QRect(0, 41, 640, 439));
        QCOMPARE(f.Button1->text(), U("参照"));
        QCOMPARE(f.Button2->text(), U("保存するぜ！"));
        QCOMPARE(f.Button1->font().pointSize(), 16);
        QCOMPARE(f.Memo1->font().pointSize(), 12);
        QVERIFY(f.Edit1->text().isEmpty());
        QVERIFY(Memo().isEmpty());
        BothButtonsEnabled();

        // The panel stays 41 high and the memo takes what is left.
        f.resize(800, 600);
        QCOMPARE(f.Panel1->geometry(), QRect(0, 0, 800, 41));
        QCOMPARE(f.Button2->geometry(), QRect(800 - 4 - 80, 4, 80, 33));
        QCOMPARE(f.Memo1->geometry(), QRect(0, 41, 800, 559));

        // Tab order: the panel's three controls, then the memo.
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        f.Button1->setFocus();
        for (QWidget* next : {static_cast<QWidget*>(f.Edit1), static_cast<QWidget*>(f.Button2),
                              static_cast<QWidget*>(f.Memo1), static_cast<QWidget*>(f.Button1)}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        // Return in the file name keeps the focus there and opens nothing.
        f.Edit1->setFocus();
        QTest::keyClicks(f.Edit1, "/tmp/x.q6");
        QTest::keyClick(f.Edit1, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), f.Edit1);
        QCOMPARE(f.Edit1->text(), U("/tmp/x.q6"));
        QVERIFY(dialogs_->shown.empty());
        // The memo is read-only.
        f.Memo1->AddLine("line");
        f.Memo1->setFocus();
        QTest::keyClicks(f.Memo1, "typed");
        QTest::keyClick(f.Memo1, Qt::Key_Backspace);
        QTest::keyClick(f.Memo1, Qt::Key_Return);
        QCOMPARE(Memo(), U("line"));
    }

    // The toolkit's own dialogs as the program uses them.
    void qtMessageBoxHasOneOkButtonAndNoIcon()
    {
        TQtDialogs qt;
        QString text;
        QString title;
        QMessageBox::Icon icon = QMessageBox::Critical;
        QList<QAbstractButton*> buttons;
        QMessageBox::StandardButton ok = QMessageBox::NoButton;
        WhenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box) {
                w->close();
                return;
            }
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            buttons = box->buttons();
            ok = box->standardButton(buttons.value(0));
            box->button(QMessageBox::Ok)->click();
        });
        qt.ShowMessage(U("Q6データを保存しました。"), form_.get());
        QCOMPARE(text, U("Q6データを保存しました。"));
        QCOMPARE(title, form_->windowTitle());
        QCOMPARE(icon, QMessageBox::NoIcon);
        QCOMPARE(buttons.size(), qsizetype{1});
        QCOMPARE(ok, QMessageBox::Ok);
    }

    void qtFileDialogsAreSetUpAndReturnTheFullPath_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("typed");     // empty: cancelled
        QTest::addColumn<QString>("returned");  // relative to the folder
        QTest::newRow("open an existing drawing") << false << "plan.q6" << "plan.q6";
        QTest::newRow("open cancelled") << false << "" << "";
        QTest::newRow("save under a new name") << true << U("新規.q6") << U("新規.q6");
        QTest::newRow("save: the default extension is added") << true << "typed" << "typed.q6";
        QTest::newRow("save cancelled") << true << "" << "";
    }
    void qtFileDialogsAreSetUpAndReturnTheFullPath()
    {
        QFETCH(bool, save);
        QFETCH(QString, typed);
        QFETCH(QString, returned);
        Write("plan.q6", DrawingA());
        TFileDialog d = save ? form_->SaveDialog1 : form_->OpenDialog1;
        d.InitialDir = dir_->path() + "/";
        d.FileName = "plan.q6";
        struct Seen {
            QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
            QFileDialog::FileMode fileMode = QFileDialog::Directory;
            QString suffix, directory;
            QStringList filters, selected;
            bool confirm = false;
        } seen;
        WhenModal([&](QWidget* w) {
            auto* fd = qobject_cast<QFileDialog*>(w);
            if (!fd) {
                w->close();
                return;
            }
            // Whatever goes wrong, the dialog must not stay open.
            auto close = qScopeGuard([fd] { if (fd->isVisible()) fd->reject(); });
            seen = {fd->acceptMode(), fd->fileMode(), fd->defaultSuffix(), fd->directory().absolutePath(),
                    fd->nameFilters(), fd->selectedFiles(), !fd->testOption(QFileDialog::DontConfirmOverwrite)};
            // The dialog lists the folder in the background and selects the
            // proposed file once it is listed: type only after that.
            auto* model = fd->findChild<QFileSystemModel*>();
            QTRY_VERIFY(model && model->rowCount(model->index(dir_->path())) > 0);
            if (typed.isEmpty()) {
                fd->reject();
            } else {
                // Typed over the proposed name, then confirmed as its button
                // does. The dialog follows typing only in a focused name field.
                auto* name = fd->findChild<QLineEdit*>("fileNameEdit");
                QVERIFY(name);
                fd->activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(fd));
                name->setFocus();
                QTRY_VERIFY(name->hasFocus());
                name->selectAll();
                for (const QChar c : typed) {
                    QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
                    QApplication::sendEvent(name, &key);
                }
                QCOMPARE(name->text(), typed);
                static_cast<QDialog*>(fd)->accept();
            }
        });
        TQtDialogs qt;
        const bool confirmed = qt.Execute(d, form_.get());

        QCOMPARE(seen.mode, save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        QCOMPARE(seen.fileMode, save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        QCOMPARE(seen.suffix, U("q6"));
        QCOMPARE(seen.filters, QStringList{U("Q6図面データ(*.q6)")});
        QCOMPARE(seen.directory, QDir(dir_->path()).absolutePath());
        QCOMPARE(seen.selected, QStringList{Path("plan.q6")});
        QCOMPARE(seen.confirm, save);
        QCOMPARE(confirmed, !typed.isEmpty());
        QCOMPARE(d.FileName, typed.isEmpty() ? U("plan.q6") : Path(returned));
    }

    void dialogsAreSeededFromTheFileName_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("full path") << U("/home/user/図面/plan.q6") << U("/home/user/図面/") << "plan.q6";
        QTest::newRow("name only") << "plan.q6" << "" << "plan.q6";
        QTest::newRow("folder only") << "/srv/drawings/" << "/srv/drawings/" << "";
        QTest::newRow("colon in a name") << "/home/u/v1:plan.q6" << "/home/u/" << "v1:plan.q6";
        QTest::newRow("backslash in a name") << "/srv/a\\plan.q6" << "/srv/" << "a\\plan.q6";
    }
    void dialogsAreSeededFromTheFileName()
    {
        QFETCH(QString, edit);
        QFETCH(QString, dir);
        QFETCH(QString, name);
        const QString before = Write("before.q6", DrawingA());
        Open(before);
        const QString report = Memo();
        form_->Edit1->setText(edit);

        Open(std::nullopt);
        Save(std::nullopt);

        QCOMPARE(dialogs_->shown.size(), std::size_t{3});
        const TFileDialog& open = dialogs_->shown[1];
        const TFileDialog& save = dialogs_->shown[2];
        for (const TFileDialog* d : {&open, &save}) {
            QCOMPARE(d->InitialDir, dir);
            QCOMPARE(d->FileName, name);
            QCOMPARE(d->DefaultExt, U("q6"));
            QCOMPARE(d->Filter, U("Q6図面データ(*.q6)"));
        }
        QCOMPARE(open.kind, TFileDialog::Open);
        QVERIFY(!open.OverwritePrompt);
        QCOMPARE(save.kind, TFileDialog::Save);
        QVERIFY(save.OverwritePrompt);
        QCOMPARE(dialogs_->owners[1], form_.get());
        // Cancelled: nothing changed.
        QCOMPARE(form_->Edit1->text(), edit);
        QCOMPARE(Memo(), report);
        QVERIFY(dialogs_->messages.isEmpty());
        BothButtonsEnabled();
    }

    void openAcceptsOnlyTheDrawingExtension_data() { ExtensionRows(); }
    void openAcceptsOnlyTheDrawingExtension()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        const QString earlier = Write("earlier.q6", DrawingA());
        Open(earlier);
        const QString earlierReport = Memo();
        QVERIFY(!earlierReport.isEmpty());
        const QString fn = Write(name, DrawingB());

        Open(fn);

        if (accepted) {
            QCOMPARE(form_->Edit1->text(), fn);
            const QString report = ReportOf(fn);
            QCOMPARE(Memo(), report.isEmpty() ? U(kCheckFailedLine) : report);
        } else {
            QCOMPARE(form_->Edit1->text(), earlier);
            QCOMPARE(Memo(), earlierReport);
        }
        QVERIFY(dialogs_->messages.isEmpty());
        BothButtonsEnabled();
    }

    void saveAcceptsOnlyTheDrawingExtension_data() { ExtensionRows(); }
    void saveAcceptsOnlyTheDrawingExtension()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        const QString source = Write("source.q6", DrawingA());
        Open(source);
        const QString report = Memo();
        QDir().mkpath(Path("folder.q6"));
        const QString fn = Path(name);

        Save(fn);

        QCOMPARE(QFileInfo::exists(fn), accepted);
        if (accepted) {
            QCOMPARE(form_->Edit1->text(), fn);
            QCOMPARE(dialogs_->messages, QStringList{U("Q6データを保存しました。")});
            QCOMPARE(ReportOf(fn), report);
        } else {
            QCOMPARE(form_->Edit1->text(), source);
            QVERIFY(dialogs_->messages.isEmpty());
        }
        QCOMPARE(Memo(), report);
        BothButtonsEnabled();
    }

    void failedOpenShowsOnlyItsLine_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");  // empty: the file does not exist
        QTest::addColumn<QString>("line");
        const QString check = U("◆Q6図面ファイルでは無い/或いは他アプリで既に開いていますので中止します。");
        const QString load = U("◆ファイル読み込みエラーです。中止します。");
        auto bytes = [](const tb::Buf& b) { return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size())); };
        QTest::newRow("text file") << "notes.q6" << QByteArray("plain text, not a drawing\n") << check;
        QTest::newRow("missing file") << "missing.q6" << QByteArray() << check;
        QTest::newRow("first chunk is an entity") << "point.q6" << bytes(Cat({tb::Point(1, 0, 0), tb::Title()})) << check;
        QTest::newRow("title longer than 256") << "long.q6" << bytes(Chunk(1000, 10, Bytes().fill(257, 'a'))) << check;
        QTest::newRow("stray bytes after the entities")
            << "stray.q6" << bytes(Cat({tb::Title(), tb::Point(1, 0, 0), {1, 2, 3}})) << load;
        QTest::newRow("negative chunk length")
            << "negative.q6" << bytes(Cat({tb::Title(), Chunk(1234, 1, Bytes(), -8)})) << load;
    }
    void failedOpenShowsOnlyItsLine()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, line);
        Open(Write("good.q6", DrawingA()));
        QString fn = Path(name);
        if (!bytes.isEmpty()) fn = Write(name, tb::Buf(bytes.begin(), bytes.end()));

        Open(fn);

        QCOMPARE(Memo(), line);
        QCOMPARE(form_->Memo1->LineCount(), qsizetype{1});
        QCOMPARE(form_->Edit1->text(), fn);
        QVERIFY(dialogs_->messages.isEmpty());
        BothButtonsEnabled();
    }

    // A file that fails the check leaves the drawing loaded before it: it is
    // what a save then writes.
    void earlierDrawingKeptAfterAFailedCheck()
    {
        const QString good = Write("good.q6", DrawingA());
        Open(good);
        const QString report = Memo();
        Open(Write("bad.q6", {'x', 'y', 'z'}));
        QCOMPARE(form_->Memo1->LineCount(), qsizetype{1});

        const QString saved = Path("saved.q6");
        Save(saved);

        QCOMPARE(dialogs_->messages, QStringList{U("Q6データを保存しました。")});
        QCOMPARE(ReportOf(saved), report);
        QCOMPARE(form_->Memo1->LineCount(), qsizetype{1});  // a save does not touch the memo
        Open(saved);
        QCOMPARE(Memo(), report);
    }

    void secondOpenReplacesTheReport()
    {
        const QString a = Write("a.q6", DrawingA());
        const QString b = Write("b.q6", DrawingB());
        Open(a);
        QCOMPARE(Memo(), ReportOf(a));
        // Neither a selection nor the scrolling survives.
        form_->Memo1->SelectAll();
        form_->Memo1->verticalScrollBar()->setValue(100);
        QCOMPARE(form_->Memo1->FirstVisibleLine(), qsizetype{100});

        Open(b);

        QCOMPARE(Memo(), ReportOf(b));
        QCOMPARE(form_->Memo1->LineCount(), ReportOf(b).count('\n') + 1);
        QVERIFY(!form_->Memo1->HasSelection());
        QCOMPARE(form_->Memo1->FirstVisibleLine(), qsizetype{0});
        QCOMPARE(form_->Edit1->text(), b);
    }

    void saveOutcomes_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("written");
        const QString saved = U("Q6データを保存しました。");
        QTest::newRow("before any open") << "fresh" << "out.q6" << U("Q6データが開かれていません。") << false;
        QTest::newRow("drawing without entities") << "settings only" << "out.q6" << U("Q6データが開かれていません。") << false;
        QTest::newRow("after the window closed") << "closed" << "out.q6" << U("Q6データが生成されていません。") << false;
        QTest::newRow("loaded drawing") << "loaded" << "out.q6" << saved << true;
        QTest::newRow("over an existing file") << "loaded" << "existing.q6" << saved << true;
        QTest::newRow("folder that does not exist")
            << "loaded" << "no/such/folder/out.q6" << U("Q6データが保存出来ませんでした。") << false;
    }
    void saveOutcomes()
    {
        QFETCH(QString, situation);
        QFETCH(QString, target);
        QFETCH(QString, message);
        QFETCH(bool, written);
        const QString source = Write("source.q6", DrawingA());
        const QString empty = Write("empty.q6", SettingsOnly());
        const QString existing = Write("existing.q6", {'o', 'l', 'd'});
        if (situation == "loaded") Open(source);
        if (situation == "settings only") {
            Open(empty);
            QCOMPARE(Memo(), ReportOf(empty));  // it loads; it just holds nothing to save
        }
        if (situation == "closed") QVERIFY(form_->close());
        const QString memo = Memo();
        const QString fn = Path(target);

        Save(fn);

        QCOMPARE(dialogs_->messages, QStringList{message});
        QCOMPARE(dialogs_->owners.back(), form_.get());
        QCOMPARE(form_->Edit1->text(), fn);  // set before saving, whatever the outcome
        QCOMPARE(Memo(), memo);
        if (written) QCOMPARE(ReportOf(fn), ReportOf(source));
        else if (fn == existing) QCOMPARE(QFileInfo(fn).size(), qint64{3});
        else QVERIFY(!QFileInfo::exists(fn));
        BothButtonsEnabled();
    }

    void savedFileReopensWithTheSameReport()
    {
        const QString sample = Path("sample.q6");
        QVERIFY(QFile::copy(Q6_SOURCE_DIR "/samples/sample.q6", sample));
        Open(sample);
        const QString report = Memo();
        QVERIFY(report.count('\n') > 500);
        const QString copy = Path(U("写し.q6"));

        Save(copy);
        QCOMPARE(dialogs_->messages, QStringList{U("Q6データを保存しました。")});
        form_->Memo1->Clear();
        Open(copy);

        QCOMPARE(Memo(), report);
    }

    // A button is disabled while its own operation runs, and only then; an
    // open shows the busy cursor while it runs.
    void buttonsDisabledOnlyWhileTheirOperationRuns()
    {
        struct State {
            bool button1;
            bool button2;
            bool busy;
        };
        auto now = [&] {
            const QCursor* c = QGuiApplication::overrideCursor();
            return State{form_->Button1->isEnabled(), form_->Button2->isEnabled(), c && c->shape() == Qt::WaitCursor};
        };
        std::vector<State> duringOpen;
        std::vector<State> duringSave;
        connect(form_->Memo1, &TMemo::linesChanged, this, [&] { duringOpen.push_back(now()); });
        dialogs_->whileMessageShown = [&] { duringSave.push_back(now()); };
        const QString good = Write("good.q6", DrawingA());

        Open(good);
        Save(Path("out.q6"));
        Open(Write("bad.q6", {'b', 'a', 'd'}));
        Save(Path("no/folder/out.q6"));
        BothButtonsEnabled();
        QVERIFY(!QGuiApplication::overrideCursor());

        QVERIFY(!duringOpen.empty());
        for (const State& s : duringOpen) {
            QVERIFY(!s.button1);
            QVERIFY(s.button2);
            QVERIFY(s.busy);
        }
        QCOMPARE(duringSave.size(), std::size_t{2});
        for (const State& s : duringSave) {
            QVERIFY(s.button1);
            QVERIFY(!s.button2);
        }
    }

    // A large report reaches the memo in one piece, not line by line.
    void largeReportFillsTheMemoInOneGo()
    {
        tb::Buf file = tb::Title("large");
        const int points = 20000;
        for (int i = 0; i < points; ++i) {
            const tb::Buf p = tb::Point(i, i * 0.5, -i);
            file.insert(file.end(), p.begin(), p.end());
        }
        const QString fn = Write("large.q6", file);
        int changes = 0;
        connect(form_->Memo1, &TMemo::linesChanged, this, [&] { ++changes; });

        Open(fn);

        const QString expected = ReportOf(fn);
        QCOMPARE(form_->Memo1->LineCount(), expected.count('\n') + 1);
        QVERIFY(form_->Memo1->LineCount() > 2 * qsizetype{points});
        QCOMPARE(Memo(), expected);
        // Clearing and filling take a few changes, whatever the number of lines.
        QVERIFY2(changes < 10, qPrintable(QString("%1 changes to the memo").arg(changes)));
    }

    // Every character the window shows has a glyph in the fonts it uses, so
    // that no text renders as empty boxes.
    void japaneseTextsHaveGlyphs()
    {
        const QString sample = Path("sample.q6");
        QVERIFY(QFile::copy(Q6_SOURCE_DIR "/samples/sample.q6", sample));
        Open(sample);
        struct Shown {
            QString text;
            QFont font;
        };
        const Shown shown[] = {{Memo(), form_->Memo1->font()},
                               {form_->Button1->text(), form_->Button1->font()},
                               {form_->Button2->text(), form_->Button2->font()},
                               {form_->windowTitle(), form_->font()},
                               {U("◆Q6図面ファイルでは無い/或いは他アプリで既に開いていますので中止します。"
                                  "◆ファイル読み込みエラーです。中止します。"
                                  "Q6データが生成されていません。Q6データが開かれていません。"
                                  "Q6データを保存しました。Q6データが保存出来ませんでした。Q6図面データ(*.q6)"),
                                form_->font()}};
        int japanese = 0;
        for (const Shown& s : shown) {
            QSet<char32_t> seen;
            QString chars;
            for (char32_t c : s.text.toUcs4()) {
                if (c <= 0x20 || seen.contains(c)) continue;
                seen.insert(c);
                chars += QString::fromUcs4(&c, 1);
                if (c >= 0x3000) ++japanese;
            }
            QTextLayout layout(chars, s.font);
            layout.beginLayout();
            layout.createLine();
            layout.endLayout();
            const QList<QGlyphRun> runs = layout.glyphRuns();
            QVERIFY(!runs.isEmpty());
            int glyphs = 0;
            for (const QGlyphRun& run : runs) {
                for (quint32 g : run.glyphIndexes()) {
                    QVERIFY2(g != 0, qPrintable("no glyph in " + run.rawFont().familyName() + " for a character of " + chars));
                    ++glyphs;
                }
            }
            QVERIFY(glyphs >= chars.toUcs4().size());
        }
        QVERIFY(japanese > 50);
    }

    // Each dropped file is named "name" or "name:content", the content being
    // a drawing unless it says "text"; a name of the drawing type with text
    // in it is accepted by its name, and then fails to open.
    void droppedDrawingOpens_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("opened");  // index into names, -1 for none
        QTest::newRow("one drawing") << QStringList{"dropped.q6"} << 0;
        QTest::newRow("the first drawing among other files")
            << QStringList{"notes.txt:text", "DROPPED.Q6", "b.q6"} << 1;
        QTest::newRow("a drawing under another name") << QStringList{"notes.txt:text", "drawing.bak"} << 1;
        QTest::newRow("a drawing without extension") << QStringList{"drawing"} << 0;
        QTest::newRow("a drawing name, text inside") << QStringList{"x.txt:text", "fake.q6:text"} << 1;
        QTest::newRow("no drawing") << QStringList{"notes.txt:text", "drawing.q6x:text"} << -1;
    }
    void droppedDrawingOpens()
    {
        QFETCH(QStringList, names);
        QFETCH(int, opened);
        const QString earlier = Write("earlier.q6", DrawingA());
        Open(earlier);
        const QString earlierReport = Memo();
        QList<QUrl> urls;
        for (const QString& entry : names) {
            const QStringList parts = entry.split(':');
            const bool text = parts.size() > 1 && parts[1] == "text";
            urls << QUrl::fromLocalFile(Write(parts[0], text ? tb::Buf{'n', 'o', 't', 'e', 's', '\n'} : DrawingB()));
        }
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = form_->Memo1->geometry().center();

        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &drop);
        QApplication::processEvents();

        QCOMPARE(enter.isAccepted(), opened >= 0);
        if (opened >= 0) {
            const QString fn = urls[opened].toLocalFile();
            QCOMPARE(form_->Edit1->text(), fn);
            const QString report = ReportOf(fn);
            QCOMPARE(Memo(), report.isEmpty() ? U(kCheckFailedLine) : report);
        } else {
            QCOMPARE(form_->Edit1->text(), earlier);
            QCOMPARE(Memo(), earlierReport);
        }
        BothButtonsEnabled();
        // The controls leave drops to the window.
        QVERIFY(!form_->Edit1->acceptDrops());
        QVERIFY(!form_->Memo1->viewport()->acceptDrops());
    }

    // The window shows the program's icon, drawn from its SVG.
    void windowHasTheProgramIcon()
    {
        const QIcon icon = form_->windowIcon();
        QVERIFY(!icon.isNull());
        const QImage img = icon.pixmap(QSize(48, 48)).toImage();
        QVERIFY(!img.isNull());
        QCOMPARE(img.size(), QSize(48, 48));
        // Not one flat colour: the sheet and its lines are there.
        QSet<QRgb> colours;
        for (int y = 0; y < img.height(); y += 3)
            for (int x = 0; x < img.width(); x += 3) colours.insert(img.pixel(x, y));
        QVERIFY(colours.size() > 4);
    }

    // 保存するぜ！ keeps its own font size, so its text fits the button's 80
    // pixels whatever the desktop's font; the other controls keep theirs.
    void saveButtonTextFitsAtDesktopFontSizes_data()
    {
        QTest::addColumn<int>("points");
        for (int pt : {9, 10, 11, 12, 14}) QTest::newRow(qPrintable(QString("%1 pt").arg(pt))) << pt;
    }
    void saveButtonTextFitsAtDesktopFontSizes()
    {
        QFETCH(int, points);
        const QFont before = QApplication::font();
        auto restore = qScopeGuard([&] { QApplication::setFont(before); });
        QFont desktop = before;
        desktop.setPointSize(points);
        QApplication::setFont(desktop);
        ScriptedDialogs dialogs;
        TForm1 f(dialogs);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));

        QCOMPARE(f.Button2->geometry(), QRect(640 - 4 - 80, 4, 80, 33));
        // What the style needs for the text and its frame.
        QVERIFY2(f.Button2->sizeHint().width() <= 80, qPrintable(QString::number(f.Button2->sizeHint().width())));
        QVERIFY(f.Button2->sizeHint().height() <= 33);
        QCOMPARE(f.Button1->font().pointSize(), 16);
        QCOMPARE(f.Memo1->font().pointSize(), 12);
        QCOMPARE(f.Edit1->font().pointSize(), points);
    }

    // After an operation the focus is back on the button that started it, so
    // a second Space starts it again instead of typing into the file name.
    void focusReturnsToTheButtonThatStartedTheOperation()
    {
        TForm1& f = *form_;
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        const QString a = Write("a.q6", DrawingA());
        const QString b = Write("b.q6", DrawingB());

        f.Button1->setFocus();
        dialogs_->answers.push_back(a);
        QTest::keyClick(f.Button1, Qt::Key_Space);
        QCOMPARE(QApplication::focusWidget(), f.Button1);
        dialogs_->answers.push_back(b);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(f.Edit1->text(), b);
        QCOMPARE(Memo(), ReportOf(b));
        QCOMPARE(QApplication::focusWidget(), f.Button1);

        f.Button2->setFocus();
        dialogs_->answers.push_back(Path("out.q6"));
        QTest::keyClick(f.Button2, Qt::Key_Space);
        QCOMPARE(dialogs_->messages, QStringList{U("Q6データを保存しました。")});
        QCOMPARE(QApplication::focusWidget(), f.Button2);
        // A failed save too.
        dialogs_->answers.push_back(Path("no/folder/out.q6"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(dialogs_->messages.size(), 2);
        QCOMPARE(QApplication::focusWidget(), f.Button2);

        // Started from the keyboard in the memo: the focus goes to the button.
        f.Memo1->setFocus();
        dialogs_->answers.push_back(a);
        QTest::keyClick(f.Memo1, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(Memo(), ReportOf(a));
        QCOMPARE(QApplication::focusWidget(), f.Button1);
        // A cancelled dialog is no operation: the focus stays where it was.
        f.Edit1->setFocus();
        dialogs_->answers.push_back(std::nullopt);
        QTest::keyClick(f.Edit1, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), f.Edit1);
    }

    // Clicks and keys that reach the window while an open runs are dropped,
    // not replayed once it has ended; input after it works as before.
    void inputDuringAnOpenIsDropped()
    {
        TForm1& f = *form_;
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        const QString a = Write("a.q6", DrawingA());
        bool posted = false;
        auto post = [&] {
            if (posted) return;
            posted = true;
            const QPoint c = f.Button1->rect().center();
            const QPoint g = f.Button1->mapToGlobal(c);
            for (QWidget* target : {static_cast<QWidget*>(f.Button1), static_cast<QWidget*>(f.Button2)}) {
                QCoreApplication::postEvent(target, new QMouseEvent(QEvent::MouseButtonPress, c, g, Qt::LeftButton,
                                                                    Qt::LeftButton, Qt::NoModifier));
                QCoreApplication::postEvent(target, new QMouseEvent(QEvent::MouseButtonRelease, c, g, Qt::LeftButton,
                                                                    Qt::NoButton, Qt::NoModifier));
            }
            for (QWidget* target : {static_cast<QWidget*>(f.Edit1), static_cast<QWidget*>(f.Button1)}) {
                QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " "));
                QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " "));
            }
        };
        connect(f.Memo1, &TMemo::linesChanged, this, post);

        Open(a);
        QApplication::processEvents();
        QTest::qWait(20);

        QVERIFY(posted);
        QCOMPARE(dialogs_->shown.size(), std::size_t{1});
        QVERIFY(dialogs_->messages.isEmpty());
        QCOMPARE(f.Edit1->text(), a);
        QCOMPARE(Memo(), ReportOf(a));
        BothButtonsEnabled();
        // A click after the open opens again.
        Open(a);
        QCOMPARE(dialogs_->shown.size(), std::size_t{2});
    }

    // A save shows the busy cursor while it writes, with its button disabled,
    // and the normal cursor over its message box.
    void saveShowsTheBusyCursor()
    {
        struct Seen {
            bool busy;
            bool button1;
            bool button2;
        };
        std::vector<Seen> whileBusy;
        std::vector<bool> busyOverMessage;
        auto cursorBusy = [] {
            const QCursor* c = QGuiApplication::overrideCursor();
            return c && c->shape() == Qt::WaitCursor;
        };
        connect(form_.get(), &TForm1::busyChanged, this, [&](bool busy) {
            if (busy) whileBusy.push_back({cursorBusy(), form_->Button1->isEnabled(), form_->Button2->isEnabled()});
        });
        dialogs_->whileMessageShown = [&] { busyOverMessage.push_back(cursorBusy()); };
        Open(Write("a.q6", DrawingA()));
        QCOMPARE(whileBusy.size(), std::size_t{1});
        whileBusy.clear();

        Save(Path("out.q6"));
        Save(Path("no/folder/out.q6"));

        QCOMPARE(whileBusy.size(), std::size_t{2});
        for (const Seen& s : whileBusy) {
            QVERIFY(s.busy);
            QVERIFY(s.button1);
            QVERIFY(!s.button2);
        }
        QCOMPARE(busyOverMessage, (std::vector<bool>{false, false}));
        QVERIFY(!QGuiApplication::overrideCursor());
        QVERIFY(QFile::exists(Path("out.q6")));
    }

    // Ctrl+O and Ctrl+S do what the two buttons do, from any control of the
    // window; nothing happens while the button is disabled.
    void keyboardShortcutsRunTheButtons()
    {
        TForm1& f = *form_;
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        const QString a = Write("a.q6", DrawingA());
        f.Edit1->setFocus();
        dialogs_->answers.push_back(a);
        QTest::keyClick(f.Edit1, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(dialogs_->shown.size(), std::size_t{1});
        QCOMPARE(dialogs_->shown.back().kind, TFileDialog::Open);
        QCOMPARE(Memo(), ReportOf(a));
        QCOMPARE(f.Edit1->text(), a);  // nothing typed into it

        f.Memo1->setFocus();
        dialogs_->answers.push_back(Path("saved.q6"));
        QTest::keyClick(f.Memo1, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(dialogs_->shown.back().kind, TFileDialog::Save);
        QCOMPARE(dialogs_->messages, QStringList{U("Q6データを保存しました。")});
        QCOMPARE(ReportOf(Path("saved.q6")), ReportOf(a));

        f.Button2->setEnabled(false);
        QTest::keyClick(f.Memo1, Qt::Key_S, Qt::ControlModifier);
        f.Button2->setEnabled(true);
        QCOMPARE(dialogs_->shown.size(), std::size_t{2});
    }

    // Ctrl+F: the search box, seeded with the memo's selection; Return finds
    // the next match (selected and in view), Shift+Return the one before, and
    // both go on from the other end with a word about it.
    void findSearchesTheReport()
    {
        TForm1& f = *form_;
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        const QString sample = Path("sample.q6");
        QVERIFY(QFile::copy(Q6_SOURCE_DIR "/samples/sample.q6", sample));
        Open(sample);
        // Where each line holding "識別番号" is, in order.
        const QString needle = U("識別番号");
        std::vector<TTextPos> places;
        for (qsizetype i = 0; i < f.Memo1->LineCount(); ++i)
            if (const qsizetype col = f.Memo1->Line(i).indexOf(needle); col >= 0) places.push_back({i, col});
        QVERIFY(places.size() > 20);
        const qsizetype page = f.Memo1->verticalScrollBar()->pageStep();
        QVERIFY(places.back().line > page);  // the last ones need scrolling

        f.Memo1->Select(places[0], {places[0].line, places[0].col + needle.size()});
        QTest::keyClick(f.Memo1, Qt::Key_F, Qt::ControlModifier);
        TFindBox* box = f.FindBox();
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->Text->text(), needle);
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(box));
        QCOMPARE(QApplication::focusWidget(), box->Text);

        auto shown = [&](TTextPos p) {
            const QRect row = f.Memo1->LineRect(p.line);
            return row.top() >= 0 && row.bottom() < f.Memo1->viewport()->height();
        };
        for (std::size_t k = 1; k < places.size(); ++k) {
            QTest::keyClick(box->Text, Qt::Key_Return);
            QCOMPARE(f.Memo1->SelectionStart(), places[k]);
            QCOMPARE(f.Memo1->SelectedText(), needle);
            QVERIFY(shown(places[k]));
            QVERIFY(box->Status->text().isEmpty());
        }
        QTest::keyClick(box->Text, Qt::Key_Return);
        QCOMPARE(f.Memo1->SelectionStart(), places[0]);
        QVERIFY(shown(places[0]));
        QCOMPARE(box->Status->text(), U("末尾まで検索したので、先頭から続けました。"));
        QTest::keyClick(box->Text, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(f.Memo1->SelectionStart(), places.back());
        QCOMPARE(box->Status->text(), U("先頭まで検索したので、末尾から続けました。"));
        QTest::mouseClick(box->Previous, Qt::LeftButton);
        QCOMPARE(f.Memo1->SelectionStart(), places[places.size() - 2]);
        QTest::mouseClick(box->Next, Qt::LeftButton);
        QCOMPARE(f.Memo1->SelectionStart(), places.back());

        // F3 in the main window searches again for the box's text.
        f.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&f));
        f.Memo1->setFocus();
        QTest::keyClick(f.Memo1, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(f.Memo1->SelectionStart(), places[places.size() - 2]);

        box->Text->setText(U("どこにも無い文字列"));
        const TTextPos before = f.Memo1->SelectionStart();
        QTest::mouseClick(box->Next, Qt::LeftButton);
        QCOMPARE(box->Status->text(), U("見つかりませんでした。"));
        QCOMPARE(f.Memo1->SelectionStart(), before);
        box->Text->clear();
        QVERIFY(!box->Next->isEnabled() && !box->Previous->isEnabled());
        // The search never changed the report.
        QCOMPARE(Memo(), ReportOf(sample));
    }

    // ---- the drawing window ------------------------------------------------

    // Three entities at known places: a point, a line along y = 10 and a
    // circle about (50, 60); the report sections follow the 469 settings lines.
    tb::Buf Shapes() const
    {
        return Cat({tb::Title("shapes"), tb::Point(1, 5, 5), df::Line(10, 10, 90, 10), df::Circle(50, 60, 20, 0, 0)});
    }
    TDrawWindow* ShowDrawingByKey()
    {
        form_->activateWindow();
        if (!QTest::qWaitForWindowActive(form_.get())) return nullptr;
        QTest::keyClick(form_->Memo1, Qt::Key_D, Qt::ControlModifier);
        TDrawWindow* w = form_->DrawWindow();
        if (!w || !QTest::qWaitForWindowExposed(w)) return nullptr;
        return w;
    }

    // What the window shows once the drawing thread has delivered the exact
    // picture of its view.
    static QImage Exact(TDrawView* v)
    {
        (void)v->Picture();
        return v->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // Ctrl+D shows the drawing of the open file, fitted, with the same pixels
    // as the painter gives for the same view, and the status bar's account.
    void drawingWindowShowsTheDrawing()
    {
        const QString sample = Path("sample.q6");
        QVERIFY(QFile::copy(Q6_SOURCE_DIR "/samples/sample.q6", sample));
        Open(sample);
        TDrawWindow* w = ShowDrawingByKey();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), U("図面"));
        QVERIFY(!w->windowIcon().isNull());
        TDrawView* v = w->View;
        QVERIFY(v->Scene());
        QCOMPARE(v->Zoom(), 1.0);

        // The same file through the scene and painter on their own.
        TQ6Data doc;
        QCOMPARE(OpenDrawing(doc, QFile::encodeName(sample).toStdString()), OpenOutcome::Loaded);
        const q6draw::Scene scene = q6draw::Scene::Build(doc);
        const QImage expected = q6draw::RenderImage(scene, v->CurrentView(), v->size());
        const QImage shown = Exact(v);
        QCOMPARE(shown.size(), expected.size());
        const double iou = px::InkIoU(shown, expected);
        QVERIFY2(iou >= 0.95, qPrintable(QString::number(iou)));
        // And the same view as q6tool render writes it.
        const q6draw::View cv = v->CurrentView();
        const QString png = Path("window-view.png");
        const auto num = [](double x) { return QString::number(x, 'g', 17); };
        QProcess tool;
        tool.start(QStringLiteral(Q6_BIN_DIR "/q6tool"),
                   {"render", sample, png, "--size", QString("%1x%2").arg(v->width()).arg(v->height()), "--view",
                    num(cv.x0) + "," + num(cv.y0) + "," + num(cv.x1) + "," + num(cv.y1)});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        const QImage rendered = QImage(png).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(rendered.size(), shown.size());
        const double iouTool = px::InkIoU(shown, rendered);
        QVERIFY2(iouTool >= 0.95, qPrintable(QString::number(iouTool)));
        std::size_t ink = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) ink += px::Inked(shown.pixel(x, y));
        QVERIFY(ink > 500);
        QCOMPARE(w->Summary->text(), QString::fromStdString(scene.SummaryLine()));
        QVERIFY(w->Assumed->text().contains("y=up"));
        // Zoomed in 10 times about a point, still the painter's pixels.
        v->ZoomAt(QPointF(v->width() / 3.0, v->height() / 2.0), 10);
        const QImage zoomed = q6draw::RenderImage(scene, v->CurrentView(), v->size());
        const double iouZoomed = px::InkIoU(Exact(v), zoomed);
        QVERIFY2(iouZoomed >= 0.95, qPrintable(QString::number(iouZoomed)));
        QCOMPARE(w->ZoomLabel->text(), U("倍率 1000%"));
        // Panned by whole pixels, the window moves its picture and draws only
        // the uncovered strips: still the painter's pixels of the new view,
        // in every direction, and after pans that leave only a sliver.
        v->Fit();
        {
            // zoomed in about the middle of the ink, so that pans uncover some
            const QImage fit = Exact(v);
            double sx = 0, sy = 0, n = 0;
            for (int y = 0; y < fit.height(); ++y)
                for (int x = 0; x < fit.width(); ++x)
                    if (px::Inked(fit.pixel(x, y))) sx += x, sy += y, ++n;
            QVERIFY(n > 0);
            v->ZoomAt(QPointF(sx / n, sy / n), 3);
        }
        int inkedStrips = 0;
        const QPointF pans[] = {{150, 0}, {0, -90}, {-61, 45}, {-150, 0}, {12, 9}, {-(v->width() - 3.0), 0},
                                {0, v->height() - 2.0}, {5, -7}};
        for (const QPointF d : pans) {
            (void)Exact(v);  // the picture before the pan is the one kept
            v->PanBy(d);
            const QImage moved = Exact(v);
            const QImage fresh = q6draw::RenderImage(scene, v->CurrentView(), v->size());
            const double iouPan = px::InkIoU(moved, fresh);
            QVERIFY2(iouPan >= 0.95, qPrintable(QString("pan %1,%2: %3").arg(d.x()).arg(d.y()).arg(iouPan)));
            // the uncovered columns (or rows) on their own, where a fault would hide in the whole
            const int dx = static_cast<int>(d.x()), dy = static_cast<int>(d.y());
            const QRect strip = dx > 0   ? QRect(0, 0, dx, v->height())
                                : dx < 0 ? QRect(v->width() + dx, 0, -dx, v->height())
                                : dy > 0 ? QRect(0, 0, v->width(), dy)
                                         : QRect(0, v->height() + dy, v->width(), -dy);
            const QImage part = moved.copy(strip), want = fresh.copy(strip);
            inkedStrips += px::InkCount(want) > 20;
            const double iouStrip = px::InkIoU(part, want);
            QVERIFY2(iouStrip >= 0.95, qPrintable(QString("pan %1,%2, strip: %3").arg(d.x()).arg(d.y()).arg(iouStrip)));
        }
        QVERIFY2(inkedStrips >= 1, qPrintable(QString::number(inkedStrips)));  // the strips were not blank
    }

    // A drawing inked everywhere: lines 4 units apart across and down a
    // 400 x 300 sheet, so that every strip a pan uncovers has ink to draw.
    static std::shared_ptr<const q6draw::Scene> GridScene()
    {
        tb::Buf e;
        for (int x = 0; x <= 400; x += 4) {
            const tb::Buf l = df::Line(x, 0, x, 300);
            e.insert(e.end(), l.begin(), l.end());
        }
        for (int y = 0; y <= 300; y += 4) {
            const tb::Buf l = df::Line(0, y, 400, y);
            e.insert(e.end(), l.begin(), l.end());
        }
        return SceneOf("grid", e);
    }

    // The scene of a drawing of a title and `entities`; null when it does not load.
    static std::shared_ptr<const q6draw::Scene> SceneOf(const char* title, const tb::Buf& entities)
    {
        TQ6Data d;
        const tb::Buf bytes = tb::Cat({tb::Title(title), entities});
        if (!d.MemIn(tb::Span(bytes))) return nullptr;
        return std::make_shared<const q6draw::Scene>(q6draw::Scene::Build(d));
    }

    // A pan by whole pixels moves the kept picture and draws the strips it
    // uncovers, at every edge: each strip holds the painter's pixels of the
    // new view (a strip left undrawn would be white).
    void panDrawsEveryUncoveredStrip()
    {
        const auto scene = GridScene();
        QVERIFY(scene);
        TDrawView v;
        v.resize(320, 240);
        v.SetScene(scene);
        v.ZoomAt(QPointF(160, 120), 2);  // the sheet fills the window and more
        const QPointF pans[] = {{37, 0}, {-41, 0}, {0, 29}, {0, -33}, {23, 17}, {-19, -21}, {31, -9}, {-7, 26}};
        for (const QPointF d : pans) {
            (void)Exact(&v);
            v.PanBy(d);
            const QImage moved = Exact(&v);
            const QImage fresh = v.Render();
            const int dx = static_cast<int>(d.x()), dy = static_cast<int>(d.y());
            std::vector<QRect> strips;
            if (dx) strips.push_back(dx > 0 ? QRect(0, 0, dx, v.height()) : QRect(v.width() + dx, 0, -dx, v.height()));
            if (dy) strips.push_back(dy > 0 ? QRect(0, 0, v.width(), dy) : QRect(0, v.height() + dy, v.width(), -dy));
            for (const QRect& r : strips) {
                const QImage want = fresh.copy(r);
                QVERIFY2(px::InkCount(want) > 20, qPrintable(QString("pan %1,%2").arg(dx).arg(dy)));
                const double iou = px::InkIoU(moved.copy(r), want);
                QVERIFY2(iou >= 0.95, qPrintable(QString("pan %1,%2, strip %3,%4 %5x%6: %7")
                                                     .arg(dx).arg(dy).arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).arg(iou)));
            }
            QVERIFY(px::InkIoU(moved, fresh) >= 0.95);
        }
    }

    // With many items in view, a picture of one ink is painted by two threads
    // and merged: pixel for pixel the picture one painter makes, with lines,
    // arcs, curves, texts and the highlight over everything, in the whole
    // picture and in a part of it. A selected item out of view adds nothing.
    void twoPaintersMakeThePictureOfOne()
    {
        tb::Buf e;
        auto add = [&](const tb::Buf& b) { e.insert(e.end(), b.begin(), b.end()); };
        for (int i = 0; i < 400; ++i) {
            const double x = (i * 37) % 300, y = (i * 53) % 200;
            switch (i % 5) {
            case 0: add(df::Line(x, y, 300 - x, 200 - y + i % 7)); break;
            case 1: add(df::Circle(x, y, 3 + i % 40, 0, 0)); break;
            case 2: add(df::Bezier({{x, y}, {x + 40, y - 30}, {x - 20, y + 60}, {x + 10, y + 5}})); break;
            case 3: add(df::TextEx(x, y, 0.1 * (i % 9), 4 + i % 11, "ABC\x82\xa0")); break;
            default: add(df::Polyline({{x, y}, {x + 5000, y + 3}, {x - 7, y - 4000}})); break;  // far beyond the view
            }
        }
        add(df::Line(5000, 5000, 5001, 5001));  // out of every view below
        const auto scene = SceneOf("many", e);
        QVERIFY(scene);
        auto index = std::make_shared<TDrawIndex>();
        index->Build(*scene);
        struct Case {
            const char* what;
            double scale;
            std::int64_t selected;
            QRect part;  // empty: the whole picture
        };
        const Case cases[] = {
            {"fit", 1.2, -1, {}},
            {"fit, a circle selected", 1.2, 41, {}},
            {"zoomed, a text selected", 2, 203, {}},
            {"a part, as after a pan", 1.2, 52, QRect(0, 0, 190, 240)},
            {"selected out of view", 1.2, 400, {}},
        };
        for (const Case& c : cases) {
            TDrawJob job;
            job.scene = scene;
            job.index = index;
            job.geom.centre = TDPoint{150, 100};
            job.geom.scale = c.scale;
            job.geom.size = QSize(360, 240);
            job.selected = c.selected;
            const QRect r = c.part.isEmpty() ? QRect(QPoint(0, 0), job.geom.size) : c.part;
            job.threads = 1;
            TDrawStats one;
            const QImage single = DrawPart(job, r, &one);
            job.threads = 2;
            TDrawStats two;
            const QImage split = DrawPart(job, r, &two);
            QVERIFY2(one.painted >= 256, qPrintable(QString("%1: %2 painted").arg(c.what).arg(one.painted)));  // enough to be split
            QCOMPARE(two.painted, one.painted);
            QVERIFY2(px::InkCount(single) > 500, c.what);
            QVERIFY2(split == single, c.what);
        }
    }

    // What is smaller than a pixel at the view's zoom is its one pixel, at
    // the place of its middle; the index hands those wholly in one cell over
    // in runs, and a query with runs finds the same items as one without.
    void itemsSmallerThanAPixelAreTheirPixel()
    {
        tb::Buf e;
        auto add = [&](const tb::Buf& b) { e.insert(e.end(), b.begin(), b.end()); };
        std::vector<TDPoint> tinies;
        for (int j = 0; j < 30; ++j)
            for (int i = 0; i < 40; ++i) {
                const double x = 10 * i + 3.3, y = 10 * j + 7.6;
                add(df::Line(x - 0.02, y - 0.01, x + 0.02, y + 0.01));
                tinies.push_back(TDPoint{x, y});
            }
        for (int i = 0; i < 30; ++i) add(df::Circle(13 * i + 5, 9 * i + 4, 0.4 + i * 0.3, 0, 0));
        for (int i = 0; i < 12; ++i) add(df::Line(0, 25 * i, 400, 300 - 25 * i));
        const auto scene = SceneOf("dots", e);
        QVERIFY(scene);
        auto index = std::make_shared<TDrawIndex>();
        index->Build(*scene);

        TDrawJob job;
        job.scene = scene;
        job.index = index;
        job.geom.centre = TDPoint{200, 150};
        job.geom.scale = 1.5;  // the short lines a tenth of a pixel, the circles from 1 to 14 pixels
        job.geom.size = QSize(640, 480);
        TDrawStats st;
        const QImage img = DrawPart(job, QRect(QPoint(0, 0), job.geom.size), &st);
        QCOMPARE(st.dots, tinies.size() + 2);  // with the two smallest circles
        for (const TDPoint& t : tinies) {
            const QPointF at = job.geom.ToPixel(t);
            QVERIFY2(px::Inked(img.pixel(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y())))),
                     qPrintable(QString("%1,%2").arg(t.X).arg(t.Y)));
        }

        const q6draw::Box boxes[] = {
            [] { q6draw::Box b; b.Add(-10, -10); b.Add(500, 400); return b; }(),
            [] { q6draw::Box b; b.Add(51, 33); b.Add(52, 34); return b; }(),
            [] { q6draw::Box b; b.Add(120.5, 0); b.Add(190, 310); return b; }(),
            [] { q6draw::Box b; b.Add(300, 200); b.Add(300, 200); return b; }(),
        };
        for (const q6draw::Box& b : boxes)
            for (const double tiny : {0.0, 0.05, 1.0, 3.0, 20.0, 1e9}) {
                std::vector<std::uint32_t> large, small, large2, small2;
                std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
                index->Query(b, tiny, large, small);
                index->Query(b, tiny, large2, small2, &runs);
                QCOMPARE(large2, large);
                QVERIFY(std::is_sorted(large.begin(), large.end()) && std::is_sorted(small.begin(), small.end()));
                for (const auto& [from, end] : runs)
                    for (std::uint32_t k = from; k < end; ++k) {
                        const q6draw::Box& lb = index->LocalBox(k);
                        QVERIFY(std::max(lb.x1 - lb.x0, lb.y1 - lb.y0) < tiny);  // every item of a run is small
                        if (lb.Intersects(b)) small2.push_back(index->LocalItem(k));
                    }
                std::sort(small2.begin(), small2.end());
                QCOMPARE(small2, small);
            }
    }

    // Right after a zoom the window shows its kept picture scaled, at once;
    // the drawing thread's exact picture follows through the event loop.
    void zoomShowsTheKeptPictureScaledThenTheExactOne()
    {
        const auto scene = GridScene();
        QVERIFY(scene);
        TDrawView v;
        v.resize(320, 240);
        v.SetScene(scene);
        const QImage before = Exact(&v);
        v.ZoomAt(QPointF(160, 120), 2);
        QVERIFY(!v.Exact());
        const QImage first = v.Shown();
        QCOMPARE(first.size(), v.size());
        // the kept picture doubled about the middle: a pixel at (160 + 2a, 120 + 2b) is before's (160 + a, 120 + b)
        int agree = 0, inked = 0;
        for (int b = -50; b < 50; b += 3)
            for (int a = -70; a < 70; a += 3) {
                const bool was = px::Inked(before.pixel(160 + a, 120 + b));
                inked += was;
                agree += was == px::Inked(first.pixel(160 + 2 * a, 120 + 2 * b));
            }
        QVERIFY(inked > 50);
        QVERIFY2(agree > 0.9 * (34 * 47), qPrintable(QString::number(agree)));
        QTRY_VERIFY_WITH_TIMEOUT(v.Exact(), 10000);
        QVERIFY(px::InkIoU(v.Shown(), v.Render()) >= 0.99);
    }

    // Zoom, pan and selection steps made while the drawing thread still
    // draws an earlier one (every other step comes a third of a redraw after
    // the one before; the others wait for the exact picture): whatever
    // the window calls exact is the picture of the view and the selection of
    // that moment, never one of an earlier step, and once the thread is done
    // it shows the picture of the last step.
    void stepsDuringARedrawEndOnTheLastPicture()
    {
        // The grid, and round it many large circles that meet every view's
        // box but none of its pixels, so that each redraw takes a while.
        tb::Buf e;
        auto add = [&](const tb::Buf& b) { e.insert(e.end(), b.begin(), b.end()); };
        for (int x = 0; x <= 400; x += 4) add(df::Line(x, 0, x, 300));
        for (int y = 0; y <= 300; y += 4) add(df::Line(0, y, 400, y));
        const std::int64_t vertical = 40, horizontal = 101 + 30;  // x = 160, y = 120
        for (int i = 0; i < 60000; ++i) add(df::Circle(200, 150, 1e6 + i, 0, 0));
        const auto scene = SceneOf("busy", e);
        QVERIFY(scene);
        TDrawView v;
        v.resize(320, 240);
        v.SetScene(scene);
        // the grid in the middle, its lines 6.4 pixels apart: a stale picture misses every one
        v.ZoomAt(v.ToPixel(TDPoint{200, 150}), 1.6 / v.Scale());
        (void)Exact(&v);
        QElapsedTimer t;
        t.start();
        (void)v.Render();
        const int third = std::max<int>(1, static_cast<int>(t.elapsed() / 3));
        // (each selection comes while the picture of the step before it, of
        // the same view, is being drawn without it)
        const std::function<void()> steps[] = {
            [&] { v.ZoomAt(QPointF(100, 80), 1.25); },
            [&] { v.Select(vertical, false); },
            [&] { v.PanBy(QPointF(3, 0)); },       // whole pixels: strips
            [&] { v.PanBy(QPointF(2.5, -1.5)); },  // not whole pixels: all anew
            [&] { v.PanBy(QPointF(0, -5)); },
            [&] { v.Select(horizontal, false); },
            [&] { v.ZoomAt(QPointF(250, 200), 0.8); },
            [&] { v.PanBy(QPointF(-7, 4)); },
            [&] { v.PanBy(QPointF(4, 3)); },
            [&] { v.Select(-1, false); },
        };
        int checked = 0;
        for (int round = 0; round < 2; ++round)
            for (std::size_t i = 0; i < std::size(steps); ++i) {
                steps[i]();
                if (i % 2) QTRY_VERIFY_WITH_TIMEOUT(v.Exact(), 20000);
                else QTest::qWait(third);
                if (!v.Exact()) continue;
                ++checked;
                QVERIFY2(v.Shown() == v.Render(), qPrintable(QString("after step %1 of round %2").arg(i).arg(round)));
            }
        QTRY_VERIFY_WITH_TIMEOUT(v.Exact(), 20000);
        QCOMPARE(v.Selected(), std::int64_t{-1});
        QVERIFY(v.Shown() == v.Render());
        QVERIFY(px::InkCount(v.Shown()) > 5000);
        // the same steps straight after one another, the last a zoom
        for (const auto& step : steps) step();
        v.ZoomAt(QPointF(160, 120), 1.5);
        QVERIFY(!v.Exact());
        QTRY_VERIFY_WITH_TIMEOUT(v.Exact(), 20000);
        QVERIFY(v.Shown() == v.Render());
        qInfo("redraw %d ms; %d of %zu steps found exact", 3 * third, checked, 2 * std::size(steps));
    }

    // The assumptions have a line of their own under the drawing, all of
    // them shown at the usual desktop font sizes, their meanings on hover.
    void assumptionsAreShownInFull()
    {
        const QFont before = QApplication::font();
        auto restore = qScopeGuard([&] { QApplication::setFont(before); });
        QFont desktop = before;
        desktop.setPointSize(11);
        QApplication::setFont(desktop);
        TDrawWindow w;
        w.resize(640, 480);
        w.SetScene(GridScene());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QString text = w.Assumed->text();
        for (const q6draw::Assumptions::Key& k : q6draw::Assumptions::Keys()) QVERIFY2(text.contains(QString::fromUtf8(k.key) + "="), k.key);
        // as many lines as the text needs at the label's width, and no fewer
        QVERIFY(w.Assumed->isVisible());
        QVERIFY2(w.Assumed->height() >= w.Assumed->heightForWidth(w.Assumed->width()),
                 qPrintable(QString("%1 < %2").arg(w.Assumed->height()).arg(w.Assumed->heightForWidth(w.Assumed->width()))));
        QVERIFY(w.Assumed->fontMetrics().horizontalAdvance(text) > w.Assumed->width());  // it does wrap here
        QVERIFY(w.Assumed->toolTip().contains("y=up"));
    }

    // Zooming keeps the drawing point under the cursor where it is; a drag
    // moves the drawing with the mouse; the arrow keys pan; Home fits again.
    void zoomAndPanKeepThePointUnderTheCursor()
    {
        Open(Write("shapes.q6", Shapes()));
        TDrawWindow* w = ShowDrawingByKey();
        QVERIFY(w);
        TDrawView* v = w->View;
        const q6draw::View fit = v->CurrentView();
        const QPointF at(v->width() * 0.3, v->height() * 0.7);
        const TDPoint under = v->ToDrawing(at);
        for (int notches : {1, 3, -2, 5}) {
            QWheelEvent wheel(at, v->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(v, &wheel);
            const TDPoint now = v->ToDrawing(at);
            QVERIFY(std::abs(now.X - under.X) < 1e-9 * (1 + std::abs(under.X)));
            QVERIFY(std::abs(now.Y - under.Y) < 1e-9 * (1 + std::abs(under.Y)));
        }
        QVERIFY(std::abs(v->Zoom() - std::pow(1.25, 7)) < 1e-9);

        const QPoint from(100, 100), to(160, 130);
        const TDPoint grabbed = v->ToDrawing(from);
        QTest::mousePress(v, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(v, QPoint(130, 115));
        QTest::mouseMove(v, to);
        QTest::mouseRelease(v, Qt::LeftButton, Qt::NoModifier, to);
        const TDPoint dropped = v->ToDrawing(to);
        QVERIFY(std::abs(dropped.X - grabbed.X) < 1e-9 && std::abs(dropped.Y - grabbed.Y) < 1e-9);
        QCOMPARE(v->Selected(), std::int64_t{-1});  // a drag selects nothing

        const QPointF centre(v->width() / 2.0, v->height() / 2.0);
        const TDPoint before = v->ToDrawing(centre);
        v->setFocus();
        QTest::keyClick(v, Qt::Key_Right);
        const TDPoint right = v->ToDrawing(centre);
        QVERIFY(right.X > before.X);
        QCOMPARE(right.Y, before.Y);
        QTest::keyClick(v, Qt::Key_Up);
        QVERIFY(v->ToDrawing(centre).Y > before.Y);  // Y up: the view moves up the drawing

        QTest::keyClick(v, Qt::Key_Home);
        QCOMPARE(v->Zoom(), 1.0);
        const q6draw::View again = v->CurrentView();
        QCOMPARE(again.x0, fit.x0);
        QCOMPARE(again.y1, fit.y1);
    }

    // A click on an entity's pixel selects it and brings its report section
    // to the top of the memo, its first line selected; a double click in a
    // section selects the entity in the drawing and brings it into view.
    void selectionGoesBetweenDrawingAndReport()
    {
        const QString fn = Write("shapes.q6", Shapes());
        Open(fn);
        TDrawWindow* w = ShowDrawingByKey();
        QVERIFY(w);
        TDrawView* v = w->View;
        TMemo* m = form_->Memo1;
        // The line's middle, and a point of the circle.
        struct Case {
            TDPoint at;
            std::int64_t entry;
            const char* header;
        };
        for (const Case& c : {Case{{50, 10}, 1, "■線オブジェクト"}, Case{{70, 60}, 2, "■円オブジェクト"},
                              Case{{5, 5}, 0, "■点オブジェクト"}}) {
            const QPoint p = v->ToPixel(c.at).toPoint();
            QTest::mouseClick(v, Qt::LeftButton, Qt::NoModifier, p);
            QCOMPARE(v->Selected(), c.entry);
            const qsizetype line = form_->SectionLine(c.entry);
            QVERIFY(line >= 469);
            QVERIFY(m->Line(line).startsWith(U(c.header)));
            QCOMPARE(m->FirstVisibleLine(), std::min<qsizetype>(line, m->verticalScrollBar()->maximum()));
            QCOMPARE(m->SelectionStart(), (TTextPos{line, 0}));
            QCOMPARE(m->SelectedText(), m->Line(line));
        }
        // The circle's centre is far from its line: nothing there.
        QTest::mouseClick(v, Qt::LeftButton, Qt::NoModifier, v->ToPixel({50, 60}).toPoint());
        QCOMPARE(v->Selected(), std::int64_t{-1});

        // The selected entity is drawn highlighted (red).
        v->Select(1, false);
        const QImage img = Exact(v);
        const QPoint mid = v->ToPixel({50, 10}).toPoint();
        const QColor c = img.pixelColor(mid);
        QVERIFY2(c.red() > 150 && c.green() < 120, qPrintable(c.name()));

        // Zoomed far into a corner, double-click the circle's second line.
        v->ZoomAt(QPointF(0, 0), 50);
        const qsizetype circle = form_->SectionLine(2);
        QCOMPARE(form_->EntryAtLine(circle + 1), std::int64_t{2});
        QCOMPARE(form_->EntryAtLine(circle - 1), std::int64_t{1});
        QCOMPARE(form_->EntryAtLine(10), std::int64_t{-1});      // a settings line
        QCOMPARE(form_->EntryAtLine(m->LineCount() - 1), std::int64_t{-1});  // a count line
        const QRect row = m->LineRect(circle + 1);
        form_->activateWindow();
        QTest::mouseDClick(m->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, row.center().y()));
        QCOMPARE(v->Selected(), std::int64_t{2});
        const QPointF centre = v->ToPixel({50, 60});
        QVERIFY(v->rect().contains(centre.toPoint()));
        QVERIFY(v->rect().contains(v->ToPixel({30, 40}).toPoint()));
        QVERIFY(v->rect().contains(v->ToPixel({70, 80}).toPoint()));
    }

    // The window follows every open: a new drawing replaces the old one and
    // is fitted; a failed open leaves what was shown. The memo's context
    // menu offers the window.
    void drawingWindowFollowsOpens()
    {
        Open(Write("a.q6", Shapes()));
        TDrawWindow* w = ShowDrawingByKey();
        QVERIFY(w);
        const q6draw::Scene* first = w->View->Scene();
        QCOMPARE(first->Items().size(), std::size_t{3});
        w->View->ZoomAt(QPointF(10, 10), 4);
        Open(Write("b.q6", DrawingB()));
        const q6draw::Scene* second = w->View->Scene();
        QVERIFY(second && second != first);
        QCOMPARE(second->Items().size(), std::size_t{1});
        QCOMPARE(w->View->Zoom(), 1.0);
        Open(Write("bad.q6", {'b', 'a', 'd'}));
        QCOMPARE(w->View->Scene(), second);
        // A load that fails half way leaves the drawing as it was, too.
        Open(Write("cut.q6", Cat({Shapes(), tb::Buf{0xD1, 0x07, 0x14, 0x00, 0x05}})));
        QCOMPARE(w->View->Scene(), second);
        QVERIFY(form_->Memo1->LineCount() == 1);
        QCOMPARE(form_->EntryAtLine(0), std::int64_t{-1});
        // Clicking the old drawing now has no section to show.
        QTest::mouseClick(w->View, Qt::LeftButton, Qt::NoModifier, w->View->rect().center());

        QVERIFY(form_->ShowDrawingAction);
        QCOMPARE(form_->ShowDrawingAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
        bool offered = false;
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [&, poll] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* a : menu->actions()) offered |= a == form_->ShowDrawingAction;
                menu->close();
                poll->stop();
            }
        });
        poll->start(10);
        QContextMenuEvent ev(QContextMenuEvent::Mouse, QPoint(10, 10), form_->Memo1->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(form_->Memo1->viewport(), &ev);
        QVERIFY(offered);
    }
};

QTEST_MAIN(ViewerTest)
#include "ViewerTest.moc"
