// q6-thumbnailer: the preview of a drawing that file managers show.
//   q6-thumbnailer -s SIZE IN OUT.png
// Draws the whole drawing, as q6tool render draws it, into a PNG whose longer
// side is SIZE pixels (the drawing's aspect kept). A file that does not load
// writes nothing. Runs without a display.
#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "Q6Draw/Paint.h"
#include "Q6Draw/Scene.h"
#include "Q6Unit/Q6Data.h"
#include "Unit1/Flows.h"

namespace {

constexpr int kMaxSize = 4096;

const char* const kUsage =
    "Usage: q6-thumbnailer -s SIZE IN OUT.png\n"
    "\n"
    "Draws the drawing IN into OUT.png, at most SIZE x SIZE pixels (1 to 4096),\n"
    "keeping its aspect, with the same interpretation as q6tool render under its\n"
    "default assumptions; the PNG's Description text says what was drawn,\n"
    "approximated and skipped. OUT.png is replaced only once it is complete.\n"
    "\n"
    "Exit status: 0 written, 1 IN did not load or OUT.png could not be written\n"
    "(nothing is written then), 2 usage error.\n";

int Usage(const char* why)
{
    if (why) std::fprintf(stderr, "q6-thumbnailer: %s\n", why);
    std::fputs(kUsage, stderr);
    return 2;
}

bool ParseSize(std::string_view s, int& out)
{
    if (s.empty() || s.size() > 5) return false;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < 1 || v > kMaxSize) return false;
    out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    int size = 0;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "-s") {
            if (i + 1 >= argc) return Usage("-s needs a size");
            if (!ParseSize(argv[++i], size)) return Usage("the size must be a whole number from 1 to 4096");
        } else if (a.size() > 2 && a.substr(0, 2) == "-s") {
            if (!ParseSize(a.substr(2), size)) return Usage("the size must be a whole number from 1 to 4096");
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage(("unknown option " + std::string(a)).c_str());
        } else {
            files.push_back(argv[i]);
        }
    }
    if (size == 0) return Usage("-s SIZE is missing");
    if (files.size() != 2) return Usage("give one drawing and one output file");

    // File managers run thumbnailers without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    TQ6Data doc;
    if (OpenDrawing(doc, files[0]) != OpenOutcome::Loaded) {
        std::fprintf(stderr, "q6-thumbnailer: %s: not a drawing, or it does not load\n", files[0]);
        return 1;
    }
    const q6draw::Scene scene = q6draw::Scene::Build(doc);
    doc.DataFree();  // the scene holds what is drawn
    const q6draw::View view = q6draw::DefaultView(scene.Extent());
    int w = 0, h = 0;
    q6draw::SizeFor(view, size, w, h);
    std::vector<std::string> describe = scene.SummaryLines();
    for (const std::string& line : scene.Assumed().Describe()) describe.push_back("assumed " + line);
    const QByteArray png = q6draw::PngBytes(scene, view, QSize(w, h), describe);
    if (png.isEmpty()) {
        std::fprintf(stderr, "q6-thumbnailer: the picture could not be made\n");
        return 1;
    }
    QSaveFile out(QFile::decodeName(files[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(png) != png.size() || !out.commit()) {
        std::fprintf(stderr, "q6-thumbnailer: %s: %s\n", files[1], qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
