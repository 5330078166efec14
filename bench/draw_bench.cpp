// draw_bench FILE [WIDTH HEIGHT]: the drawing window on a large drawing,
// offscreen. Times the load, the scene and the index (the time from the end
// of the load to the first full picture), then zoom and pan steps at the fit,
// at 10x and at 1000x, each step a full redraw of the window's picture. Beside
// them, the machine's own limit in the same run: filling and copying the
// window's pixels once (what any redraw must at least do).
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "Q6Draw/Scene.h"
#include "Q6Unit/Q6Data.h"
#include "Unit1/DrawWindow.h"
#include "Unit1/Flows.h"

namespace {

double Ms(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

struct Steps {
    double median = 0, worst = 0;
    std::size_t painted = 0, dots = 0;
};

// Each step changes the view (a pan or a zoom about a point) and redraws.
// With `kept`, each step is what the window shows: the kept picture, moved
// and completed after a pan (drawn anew after a zoom).
template <class Step>
Steps Run(TDrawView& v, int n, Step step, bool kept = false)
{
    std::vector<double> ms;
    Steps out;
    for (int i = 0; i < n; ++i) {
        if (kept) v.Picture();  // the picture shown before the step
        QElapsedTimer t;
        t.start();
        step(i);
        TDrawStats st;
        const QImage img = kept ? v.Picture(&st) : v.Render(&st);
        ms.push_back(Ms(t));
        out.painted = std::max(out.painted, st.painted);
        out.dots = std::max(out.dots, st.dots);
        if (img.isNull()) std::abort();
    }
    std::sort(ms.begin(), ms.end());
    out.median = ms[ms.size() / 2];
    out.worst = ms.back();
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "Usage: draw_bench FILE [WIDTH HEIGHT]\n");
        return 2;
    }
    const int w = argc == 4 ? std::atoi(argv[2]) : 800, h = argc == 4 ? std::atoi(argv[3]) : 560;
    TQ6Data doc;
    QElapsedTimer t;
    t.start();
    if (OpenDrawing(doc, argv[1]) != OpenOutcome::Loaded) {
        std::fprintf(stderr, "draw_bench: %s does not load\n", argv[1]);
        return 1;
    }
    const double loadMs = Ms(t);
    TDrawWindow win;
    win.View->resize(w, h);
    t.start();
    auto scene = std::make_shared<const q6draw::Scene>(q6draw::Scene::Build(doc));
    const double sceneMs = Ms(t);
    QElapsedTimer u;
    u.start();
    win.View->SetScene(scene);
    const double indexMs = Ms(u);
    TDrawStats first;
    u.start();
    win.View->Render(&first);
    const double firstMs = Ms(u);
    const double toPicture = Ms(t);
    std::printf("%s: %d entities, %zu items; load %.0f ms; scene %.0f ms, index %.0f ms, first picture %.0f ms "
                "(%zu painted, %zu dots): %.0f ms from the end of the load to the whole drawing on %dx%d\n",
                qPrintable(QFileInfo(argv[1]).fileName()), doc.EntN, scene->Items().size(), loadMs, sceneMs, indexMs,
                firstMs, first.painted, first.dots, toPicture, w, h);

    // The machine's limit: fill and copy the window's pixels.
    QImage a(w, h, QImage::Format_RGB32), b(w, h, QImage::Format_RGB32);
    u.start();
    for (int i = 0; i < 50; ++i) {
        a.fill(i);
        QPainter p(&b);
        p.drawImage(0, 0, a);
    }
    const double floorMs = Ms(u) / 50;

    TDrawView& v = *win.View;
    const QPointF c(w / 2.0, h / 2.0);
    auto report = [&](const char* what, const Steps& s) {
        std::printf("  %-34s median %6.1f ms, worst %6.1f ms (%.0fx the fill+copy of %.2f ms); up to %zu painted, %zu dots\n",
                    what, s.median, s.worst, s.median / floorMs, floorMs, s.painted, s.dots);
    };
    v.Fit();
    report("fit, pan steps of 1/8", Run(v, 9, [&](int i) { v.PanBy(QPointF((i % 2 ? -1 : 1) * w / 8.0, 0)); }));
    report("fit, pan 1/8, kept picture", Run(v, 9, [&](int i) { v.PanBy(QPointF((i % 2 ? -1 : 1) * w / 8.0, 0)); }, true));
    report("fit, drag steps of 8 px, kept", Run(v, 9, [&](int i) { v.PanBy(QPointF(i % 2 ? -8 : 8, 5)); }, true));
    v.Fit();
    report("fit, zoom in/out steps (1.25)", Run(v, 9, [&](int i) { v.ZoomAt(c, i % 2 ? 1 / 1.25 : 1.25); }));
    v.Fit();
    v.ZoomAt(c, 10);
    report("10x, pan steps of 1/8", Run(v, 9, [&](int i) { v.PanBy(QPointF(w / 8.0, (i % 3 - 1) * h / 8.0)); }));
    report("10x, pan 1/8, kept picture", Run(v, 9, [&](int i) { v.PanBy(QPointF(w / 8.0, (i % 3 - 1) * h / 8.0)); }, true));
    report("10x, drag steps of 8 px, kept", Run(v, 9, [&](int i) { v.PanBy(QPointF(i % 2 ? -8 : 8, 5)); }, true));
    report("10x, zoom steps about a point", Run(v, 9, [&](int i) { v.ZoomAt(QPointF(w / 3.0, h / 3.0), i % 2 ? 1 / 1.25 : 1.25); }));
    v.Fit();
    v.ZoomAt(c, 1000);
    report("1000x, pan steps of 1/8", Run(v, 9, [&](int i) { v.PanBy(QPointF(w / 8.0, (i % 3 - 1) * h / 8.0)); }));
    report("1000x, pan 1/8, kept picture", Run(v, 9, [&](int i) { v.PanBy(QPointF(w / 8.0, (i % 3 - 1) * h / 8.0)); }, true));
    report("1000x, zoom steps about a point", Run(v, 9, [&](int i) { v.ZoomAt(QPointF(w / 3.0, h / 3.0), i % 2 ? 1 / 1.25 : 1.25); }));
    return 0;
}
