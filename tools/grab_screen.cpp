// grab_screen OUT.png [SECONDS]: saves what the X display shows, once it has
// settled: two grabs a quarter of a second apart are the same and the screen
// is not of one colour. Gives up after SECONDS (default 30) with status 1.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <cstdio>
#include <cstdlib>

namespace {

bool OneColour(const QImage& img)
{
    const QRgb first = img.pixel(0, 0);
    for (int y = 0; y < img.height(); y += 2)
        for (int x = 0; x < img.width(); x += 2)
            if (img.pixel(x, y) != first) return false;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "Usage: grab_screen OUT.png [SECONDS]\n");
        return 2;
    }
    const long limitMs = 1000 * (argc == 3 ? std::strtol(argv[2], nullptr, 10) : 30);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "grab_screen: no screen\n");
        return 1;
    }
    QElapsedTimer t;
    t.start();
    QImage last;
    while (t.elapsed() < limitMs) {
        const QImage now = screen->grabWindow(0).toImage();
        if (!now.isNull() && !OneColour(now) && now == last) {
            if (!now.save(QString::fromLocal8Bit(argv[1]))) {
                std::fprintf(stderr, "grab_screen: cannot write %s\n", argv[1]);
                return 1;
            }
            return 0;
        }
        last = now;
        QThread::msleep(250);
    }
    std::fprintf(stderr, "grab_screen: the screen did not settle\n");
    return 1;
}
