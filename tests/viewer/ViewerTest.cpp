// The main window driven as a user would: the file dialogs answer with chosen
// names, the message box keeps its texts, and the memo is read back.
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGlyphRun>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QKeyEvent>
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
#include "Q6Unit/Q6Data.h"
#include "Unit1/Dialogs.h"
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
        QCOMPARE(seen.filters, QStringList{U("Q6図面データ (*.q6)")});
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
            QCOMPARE(d->Filter, U("Q6図面データ (*.q6)"));
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
            QCOMPARE(Memo(), ReportOf(fn));
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
                                  "Q6データを保存しました。Q6データが保存出来ませんでした。Q6図面データ (*.q6)"),
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

    void droppedDrawingOpens_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("opened");  // index into names, -1 for none
        QTest::newRow("one drawing") << QStringList{"dropped.q6"} << 0;
        QTest::newRow("the first drawing among other files") << QStringList{"notes.txt", "DROPPED.Q6", "b.q6"} << 1;
        QTest::newRow("no drawing") << QStringList{"notes.txt", "drawing.q6x"} << -1;
    }
    void droppedDrawingOpens()
    {
        QFETCH(QStringList, names);
        QFETCH(int, opened);
        const QString earlier = Write("earlier.q6", DrawingA());
        Open(earlier);
        const QString earlierReport = Memo();
        QList<QUrl> urls;
        for (const QString& name : names) urls << QUrl::fromLocalFile(Write(name, DrawingB()));
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
            QCOMPARE(Memo(), ReportOf(fn));
        } else {
            QCOMPARE(form_->Edit1->text(), earlier);
            QCOMPARE(Memo(), earlierReport);
        }
        BothButtonsEnabled();
        // The controls leave drops to the window.
        QVERIFY(!form_->Edit1->acceptDrops());
        QVERIFY(!form_->Memo1->viewport()->acceptDrops());
    }
};

QTEST_MAIN(ViewerTest)
#include "ViewerTest.moc"
