// draw_bench FILE [WIDTH HEIGHT [STEPS]]: the drawing window on a large drawing,
// offscreen. Times the load, the scene and the index (the time from the end
// of the load to the first full picture), then zoom and pan steps at the fit,
// at 10x and at 1000x: the time to the first picture the window shows after
// a step and to the exact one (and a full redraw for comparison). Beside
// them, the machine's own limit in the same run: filling and copying the
// window's pixels once (what any redraw must at least do). Each case takes
// STEPS steps (9 unless given) and reports their median and their worst.
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
    double first = 0, firstWorst = 0;  // to the first picture shown after the step
    double exact = 0, exactWorst = 0;  // to the exact picture
    std::size_t painted = 0, dots = 0;
};

// Each step changes the view (a pan or a zoom about a point). With `kept`,
// each step is what the window does: it shows its kept picture moved or
// scaled at once (the first picture), and the drawing thread delivers the
// exact one (strips only after a pan by whole pixels). Without, each step is
// a full redraw here and now.
template <class Step>
Steps Run(TDrawView& v, int n, Step step, bool kept = true)
{
    std::vector<double> first, exact;
    Steps out;
    for (int i = 0; i < n; ++i) {
        v.Picture();  // the exact picture before the step, as after a pause
        QElapsedTimer t;
        t.start();
        step(i);
        double shown = Ms(t);
        TDrawStats st;
        if (!kept) {
            v.Picture();  // the window's own drawing out of the way of the one timed
            t.start();
            shown = 0;
        }
        const QImage img = kept ? v.Picture(&st) : v.Render(&st);
        exact.push_back(Ms(t));
        first.push_back(kept ? shown : exact.back() + shown);
        out.painted = std::max(out.painted, st.painted);
        out.dots = std::max(out.dots, st.dots);
        if (img.isNull()) std::abort();
    }
    std::sort(first.begin(), first.end());
    std::sort(exact.begin(), exact.end());
    out.first = first[first.size() / 2];
    out.firstWorst = first.back();
    out.exact = exact[exact.size() / 2];
    out.exactWorst = exact.back();
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int steps = argc == 5 ? std::atoi(argv[4]) : 9;
    if ((argc != 2 && argc != 4 && argc != 5) || steps < 1 || steps > 10000) {
        std::fprintf(stderr, "Usage: draw_bench FILE [WIDTH HEIGHT [STEPS]]\n");
        return 2;
    }
    const int w = argc >= 4 ? std::atoi(argv[2]) : 800, h = argc >= 4 ? std::atoi(argv[3]) : 560;
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
    win.View->Picture(&first);  // drawn by the window's thread
    const double firstMs = Ms(u);
    const double toPicture = Ms(t);
    std::printf("%s: %d entities, %zu items; load %.0f ms; scene %.0f ms, index %.0f ms, first exact picture %.0f ms "
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
        std::printf("  %-32s first picture %6.1f ms (worst %6.1f), exact %6.1f ms (worst %6.1f; %.0fx the fill+copy of %.2f ms); "
                    "up to %zu painted, %zu dots\n",
                    what, s.first, s.firstWorst, s.exact, s.exactWorst, s.exact / floorMs, floorMs, s.painted, s.dots);
    };
    auto pan = [&](double fx, double fy) { return [&v, &w, &h, fx, fy](int i) { v.PanBy(QPointF((i % 2 ? -1 : 1) * fx * w, (i % 3 - 1) * fy * h)); }; };
    auto drag = [&v](int i) { v.PanBy(QPointF(i % 2 ? -8 : 8, 5)); };
    auto zoom = [&](QPointF at) { return [&v, at](int i) { v.ZoomAt(at, i % 2 ? 1 / 1.25 : 1.25); }; };
    const QPointF third(w / 3.0, h / 3.0);
    for (const double z : {1.0, 10.0, 1000.0}) {
        char name[64];
        auto at = [&](const char* what) {
            std::snprintf(name, sizeof name, "%gx, %s", z, what);
            return name;
        };
        v.Fit();
        if (z != 1) v.ZoomAt(c, z);
        report(at("pan 1/8, full redraw"), Run(v, steps, pan(1 / 8.0, 1 / 8.0), false));
        report(at("pan 1/8"), Run(v, steps, pan(1 / 8.0, 1 / 8.0)));
        report(at("drag 8 px"), Run(v, steps, drag));
        report(at("zoom 1.25 about a point"), Run(v, steps, zoom(third)));
    }
    return 0;
}
