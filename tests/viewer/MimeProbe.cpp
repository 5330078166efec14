// q6_mime_probe FILE...: for each file, the type the desktop's file-type
// database gives it from its name and contents, and from its contents alone.
// q6_mime_probe --icons TYPE: the type's icon and generic icon names.
#include <QCoreApplication>
#include <QFile>
#include <QMimeDatabase>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QMimeDatabase db;
    if (argc == 3 && QByteArray(argv[1]) == "--icons") {
        const QMimeType t = db.mimeTypeForName(QString::fromLocal8Bit(argv[2]));
        std::printf("%s %s\n", qPrintable(t.iconName()), qPrintable(t.genericIconName()));
        return t.isValid() ? 0 : 1;
    }
    for (int i = 1; i < argc; ++i) {
        const QString fn = QString::fromLocal8Bit(argv[i]);
        QFile f(fn);
        const QByteArray head = f.open(QIODevice::ReadOnly) ? f.read(4096) : QByteArray();
        std::printf("%s %s %s\n", argv[i], qPrintable(db.mimeTypeForFile(fn).name()),
                    qPrintable(db.mimeTypeForData(head).name()));
    }
    return 0;
}
