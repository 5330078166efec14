// The render target's check: any bytes that load are drawn to SVG and to a
// small image and its PNG in memory; the SVG must be well-formed XML, the counts must add
// up to the number of entities, and the default view must be usable. The way
// q6tool render draws, entities interpreted in batches as the load reads
// them, must decide the load the same way and give the same counts, extent,
// SVG bytes and pixels. Shared by the fuzz target and the test that replays
// fuzz/regressions/render/.
#pragma once

#include <QGuiApplication>
#include <QXmlStreamReader>

#include <cmath>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "Q6Draw/Paint.h"
#include "Q6Draw/Scene.h"
#include "Q6Draw/Svg.h"
#include "Q6Unit/ByteSource.h"
#include "Q6Unit/Q6Data.h"

namespace fuzzcheck {

// The painter needs a GUI application (fonts); one, offscreen, for the process.
inline void EnsureGuiApplication()
{
    if (QGuiApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "q6render";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

// Loads the bytes with every entity handed to a stream in batches of
// `batch`, each given to `take`; true when the load succeeds.
inline bool StreamLoad(std::span<const std::uint8_t> bytes, q6draw::SceneStream& stream, TQ6Data& doc,
                       std::size_t batch, const std::function<void(const q6draw::Scene&)>& take)
{
    const EntitySink sink = [&](const TQ6EntNo& en, const void* record) {
        stream.Add(en, record);
        if (stream.BatchSize() >= batch) {
            take(stream.Batch());
            stream.Clear();
        }
        return true;
    };
    MemorySource m(bytes);
    const bool loaded = doc.Load(m, LoadMode::Whole, nullptr, &sink);
    take(stream.Batch());
    stream.Clear();
    return loaded;
}

inline std::string CheckRender(std::span<const std::uint8_t> bytes)
{
    TQ6Data doc;
    const bool loads = doc.MemIn(bytes);
    {
        TQ6Data head;
        q6draw::SceneStream counted(head, {});
        if (StreamLoad(bytes, counted, head, 3, [](const q6draw::Scene&) {}) != loads)
            return "the load with its entities handed on decides otherwise than the whole load";
    }
    if (!loads) return {};
    // the first byte picks a set of assumptions, so that each is exercised
    q6draw::Assumptions a;
    const std::uint8_t pick = bytes.empty() ? 0 : bytes[0];
    if (pick & 1) (void)a.Set("direction=cw");
    if (pick & 2) (void)a.Set("angles=degrees");
    if (pick & 4) (void)a.Set("ellipse-angle=rotate");
    if (pick & 8) (void)a.Set("ellipse-arc=polar");
    if (pick & 16) (void)a.Set("colour=bgr");
    if (pick & 32) (void)a.Set("y=down");
    if (pick & 64) (void)a.Set("bezier=polygon");
    const q6draw::Scene s = q6draw::Scene::Build(doc, a);
    using q6draw::Status;
    const std::size_t n = s.Count(Status::Drawn) + s.Count(Status::Approximated) + s.Count(Status::Skipped);
    if (n != s.Items().size() || n != static_cast<std::size_t>(doc.EntN))
        return "the counts (" + std::to_string(n) + ") do not add up to the entities (" + std::to_string(doc.EntN) + ")";
    const q6draw::View v = q6draw::FitAspect(q6draw::DefaultView(s.Extent()), 48, 32);
    if (!std::isfinite(v.x1 - v.x0) || !std::isfinite(v.y1 - v.y0) || !(v.x0 < v.x1) || !(v.y0 < v.y1))
        return "the default view is not usable";
    std::string svg;
    q6draw::WriteSvg(s, v, 48, 32, s.SummaryLines(), [&](std::string_view p) {
        svg += p;
        return true;
    });
    QXmlStreamReader x(QByteArray::fromRawData(svg.data(), static_cast<qsizetype>(svg.size())));
    std::size_t groups = 0;
    while (!x.atEnd())
        if (x.readNext() == QXmlStreamReader::StartElement && x.attributes().hasAttribute(QLatin1String("data-ino")))
            ++groups;
    if (x.hasError()) return "the SVG is not well-formed: " + x.errorString().toStdString();
    if (groups != n) return "the SVG has " + std::to_string(groups) + " items for " + std::to_string(n) + " entities";
    // the same in batches, as q6tool render draws
    {
        TQ6Data head;
        q6draw::SceneStream stream(head, a);
        std::string streamed;
        q6draw::SvgWriter w(a, v, 48, 32, [&](std::string_view p) {
            streamed += p;
            return true;
        });
        w.Head(s.SummaryLines());
        StreamLoad(bytes, stream, head, 3, [&](const q6draw::Scene& b) { w.Items(b); });
        w.Tail();
        const q6draw::Box& e = stream.Batch().Extent();
        if (stream.Batch().SummaryLines() != s.SummaryLines()) return "the streamed counts differ";
        if (e.empty != s.Extent().empty || e.x0 != s.Extent().x0 || e.y0 != s.Extent().y0 ||
            e.x1 != s.Extent().x1 || e.y1 != s.Extent().y1)
            return "the streamed extent differs";
        if (streamed != svg) return "the SVG in batches differs from the whole scene's";
    }
    EnsureGuiApplication();
    const QImage img = q6draw::RenderImage(s, v, QSize(48, 32));
    if (img.size() != QSize(48, 32)) return "no image";
    {
        TQ6Data head;
        q6draw::SceneStream stream(head, a);
        const QImage batched = q6draw::RenderImage(
            [&](q6draw::PaintStream& ps) {
                return StreamLoad(bytes, stream, head, 3, [&](const q6draw::Scene& b) { ps.Items(b); });
            },
            a, v, QSize(48, 32));
        if (batched != img) return "the image in batches differs from the whole scene's";
    }
    // the PNG writer, read back by Qt's reader
    const QByteArray png = q6draw::PngBytes(s, v, QSize(48, 32), s.SummaryLines());
    QImage back;
    if (!back.loadFromData(png, "PNG") || back.size() != QSize(48, 32)) return "the PNG does not read back";
    return {};
}

}  // namespace fuzzcheck
