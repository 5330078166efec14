// q6viewer_timing FILE...: on the real window, for each FILE in turn, the time
// from a click on 参照 to the report painted on the screen, the same work
// without the window (load, report text), the time to scroll to the middle
// and to the end and repaint, the report's search (Ctrl+F) for a text that is
// not there (the whole report, twice: to the end and round from the start),
// for the last line from the first and for the first line from the last, and
// the peak memory of the process.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QScrollBar>
#include <QWindow>
#include <cstdio>
#include <string>
#include <utility>

#include "Q6Unit/Q6Data.h"
#include "Unit1/Flows.h"
#include "Unit1/Form1.h"
#include "Unit1/Report.h"

namespace {

class ChooseFile final : public TDialogs {
public:
    QString next;
    bool Execute(TFileDialog& dialog, QWidget*) override
    {
        dialog.FileName = next;
        return true;
    }
    void ShowMessage(const QString&, QWidget*) override {}
};

double Ms(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

// Paints the window now and waits until the display has it.
void Show(TForm1& form)
{
    form.repaint();
    QApplication::processEvents();
    QApplication::sync();
}

long PeakMiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "Usage: q6viewer_timing FILE...\n");
        return 2;
    }
    ChooseFile dialogs;
    TForm1 form(dialogs);
    form.show();
    while (!form.windowHandle() || !form.windowHandle()->isExposed()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    Show(form);
    std::printf("platform %s\n", qPrintable(QApplication::platformName()));
    for (int i = 1; i < argc; ++i) {
        const QString fn = QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath();
        QElapsedTimer t;

        // The same work without the window.
        double loadMs = 0, reportMs = 0, fillMs = 0;
        std::size_t lines = 0;
        {
            TQ6Data doc;
            t.start();
            const OpenOutcome r = OpenDrawing(doc, fn.toStdString());
            loadMs = Ms(t);
            if (r == OpenOutcome::Loaded) {
                std::string text;
                t.start();
                lines = AppendReport(doc, text);
                reportMs = Ms(t);
                // The memo's own part: the report handed over and shown.
                form.Memo1->Clear();
                t.start();
                form.Memo1->AddLines(std::move(text));
                Show(form);
                fillMs = Ms(t);
                form.Memo1->Clear();
            }
            std::printf("%s: %d entities, %zu report lines, load %.0f ms, report text %.0f ms, memo fill %.1f ms\n",
                        argv[i], doc.EntN, lines, loadMs, reportMs, fillMs);
        }

        dialogs.next = fn;
        t.start();
        form.Button1->click();
        Show(form);
        const double openMs = Ms(t);

        QScrollBar* bar = form.Memo1->verticalScrollBar();
        t.start();
        bar->setValue(bar->maximum() / 2);
        Show(form);
        const double middleMs = Ms(t);
        t.start();
        bar->setValue(bar->maximum());
        Show(form);
        const double endMs = Ms(t);
        t.start();
        for (int k = 0; k < 100; ++k) {
            bar->setValue(bar->maximum() / 2 + k * 3);
            Show(form);
        }
        const double stepMs = Ms(t) / 100;
        TMemo& memo = *form.Memo1;
        const qsizetype lastLine = memo.LineCount() - 1;
        auto timeFind = [&](const QString& text, bool backward, TTextPos from) {
            memo.Select(from, from);
            QElapsedTimer f;
            f.start();
            const TMemo::FindResult r = memo.Find(text, backward);
            Show(form);
            return std::pair<double, bool>(Ms(f), r != TMemo::FindResult::NotFound);
        };
        const auto missing = timeFind(QString::fromUtf8("どこにも無い"), false, TTextPos{0, 0});
        const auto missingBack = timeFind(QString::fromUtf8("どこにも無い"), true, TTextPos{lastLine, 0});
        const auto toLast = timeFind(memo.Line(lastLine), false, TTextPos{0, 0});
        const auto toFirst = timeFind(memo.Line(0), true, TTextPos{lastLine, 0});
        std::printf("  search: missing %.0f ms, missing backward %.0f ms, last line from the start %.0f ms (%s), "
                    "first line from the end %.0f ms (%s)\n",
                    missing.first, missingBack.first, toLast.first, toLast.second ? "found" : "NOT FOUND",
                    toFirst.first, toFirst.second ? "found" : "NOT FOUND");

        std::printf("  click to shown %.0f ms (memo %lld lines); scroll to middle %.1f ms, to end %.1f ms, "
                    "3-line step %.2f ms; peak memory %ld MiB\n",
                    openMs, static_cast<long long>(form.Memo1->LineCount()), middleMs, endMs, stepMs, PeakMiB());
        std::fflush(stdout);
    }
    return 0;
}
