// q6viewer: opens a drawing and lists everything it holds.
//   q6viewer [FILE]    FILE is opened at start, as though chosen with 参照.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <string>

#include "Q6Draw/Scene.h"

#include "Unit1/Dialogs.h"
#include "Unit1/Form1.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("q6viewer");
    QApplication::setWindowIcon(ApplicationIcon());
    QGuiApplication::setDesktopFileName("q6viewer");

    // The toolkit's own texts (dialog buttons, captions) in the user's language.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale::system(), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    QCommandLineParser args;
    args.setApplicationDescription("Opens a .q6 drawing and lists everything it holds.");
    args.addHelpOption();
    args.addPositionalArgument("file", "The drawing to open at start.", "[FILE]");
    QString keys;
    for (const q6draw::Assumptions::Key& k : q6draw::Assumptions::Keys())
        keys += QString("\n  %1=%2 (default %3): %4").arg(k.key, k.values, k.byDefault, k.meaning);
    const QCommandLineOption assume("assume",
                                    "How the drawing window (Ctrl+D) reads what the file does not state, "
                                    "as q6tool render --assume; may be repeated. Keys:" + keys,
                                    "KEY=VALUE");
    args.addOption(assume);
    args.process(app);
    q6draw::Assumptions assumptions;
    for (const QString& kv : args.values(assume)) {
        const std::string why = assumptions.Set(kv.toStdString());
        if (!why.empty()) {
            std::fprintf(stderr, "q6viewer: --assume %s: %s\n", qPrintable(kv), why.c_str());
            return 2;
        }
    }

    TQtDialogs dialogs;
    TForm1 form(dialogs);
    form.SetAssumptions(assumptions);
    Form1 = &form;
    form.show();
    const QStringList files = args.positionalArguments();
    if (!files.isEmpty()) {
        const QString fn = QFileInfo(files.first()).absoluteFilePath();
        // Once the window is on the screen.
        QMetaObject::invokeMethod(&form, [fn] { Form1->OpenFile(fn); }, Qt::QueuedConnection);
    }
    const int status = QApplication::exec();
    Form1 = nullptr;
    return status;
}
