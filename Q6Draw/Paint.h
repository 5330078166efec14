// Paints a scene with Qt's painter: into a QImage for PNG, a QPdfWriter for
// PDF, or any widget. Qt's raster painter is used rather than cairo because
// the drawing window is a Qt program: one painter gives the window, the PNG
// and the PDF the same pixels, and it needs no further library.
//
// Everything is stroked with hairlines of a fixed pixel width; curves are
// flattened to within a fraction of a pixel, only where they cross the view,
// so huge coordinates cost no more than small ones. A QGuiApplication must
// exist (text needs the font database).
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Q6Draw/Scene.h"

class QPainter;

namespace q6draw {

// What a text far taller than the picture needs of its font, kept from one
// picture to the next: the advance of each character and the outlines of the
// runs of characters drawn. They depend on the text and the drawing font only,
// not on the view or the drawing, so a window that draws the same texts again
// and again lays each out once. The pictures are the same with or without it.
// Any number of painters may share one. It holds at most a bounded number of
// entries, and starts afresh when full.
class TextCache {
public:
    TextCache();
    ~TextCache();
    TextCache(const TextCache&) = delete;
    TextCache& operator=(const TextCache&) = delete;
    void Clear();
    struct Impl;
    Impl& Get() { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

struct PaintOptions {
    bool antialias = true;
    double lineWidth = 1.0;      // hairline width in device pixels
    double tolerance = 0.2;      // how far a flattened curve may stray, in pixels
    std::int64_t highlight = -1;  // an index into Items() drawn over the rest, thicker, in highlightColour
    QColor highlightColour = QColor(0xE0, 0x20, 0x20);
    double highlightWidth = 3.0;
    // Only these items (indices into Items()), in this order; all when empty.
    std::span<const std::uint32_t> only;
    // Checked between items; painting stops early when it becomes true.
    const std::atomic<bool>* cancel = nullptr;
    // When given, the layouts of huge texts are taken from it and kept in it.
    TextCache* textCache = nullptr;
    // When given, hears the fraction of the items painted now and then.
    std::function<void(double)> progress;
};

struct PaintStats {
    std::size_t items = 0;     // items with something in the view
    std::size_t segments = 0;  // straight segments stroked
    std::size_t texts = 0;     // text runs drawn
};

// The family of the drawing font: the installed Japanese Gothic (IPAGothic)
// when there is one, else the default.
QString DrawingFontFamily();

// Paints the items for view v onto the painter, whose device is `px` pixels
// (logical, y down, origin at the top left). The view is first grown to the
// aspect of px (FitAspect). Draws no background.
PaintStats Paint(QPainter& p, const Scene& s, const View& v, QSize px, const PaintOptions& o = {});

// The same painting in batches, for a drawing interpreted as it is read:
// the items of each batch go on in turn, as Paint would have painted them
// all (texts too; with one ink they come after the lines, as in Paint).
// `o` must outlive the stream; its `only`, `highlight` and `progress` are not
// used. Everything is on the device once Finish() returns.
class PaintStream {
public:
    PaintStream(QPainter& p, const Assumptions& a, const View& v, QSize px, const PaintOptions& o);
    ~PaintStream();
    PaintStream(const PaintStream&) = delete;
    PaintStream& operator=(const PaintStream&) = delete;
    void Items(const Scene& batch);
    PaintStats Finish();

    struct Impl;

private:
    std::unique_ptr<Impl> d_;
};

// Hands the batches of a drawing to a stream; false when it could not
// (nothing is made then).
using PaintFeed = std::function<bool(PaintStream&)>;

// White image of px pixels with the items painted on it (Format_RGB32).
QImage RenderImage(const Scene& s, const View& v, QSize px, const PaintOptions& o = {}, PaintStats* stats = nullptr);

// The same from batches; a null image when the feed fails.
QImage RenderImage(const PaintFeed& feed, const Assumptions& a, const View& v, QSize px, const PaintOptions& o = {});

// The PNG of an image, grey or RGB, with the lines of `describe` as its
// "Description" text, through `sink` in pieces. False on failure.
bool WritePng(const QImage& img, bool grey, const std::vector<std::string>& describe,
              const std::function<bool(std::string_view)>& sink);

// PNG bytes of RenderImage (grey when every item is black), with the lines of
// `describe` as its "Description" text. Empty on failure.
QByteArray PngBytes(const Scene& s, const View& v, QSize px, const std::vector<std::string>& describe,
                    const PaintOptions& o = {});

// A one-page PDF of px points (1 point a pixel), the lines of `describe` in
// its XMP metadata (dc:description) and `title` as its title. Empty on failure.
QByteArray PdfBytes(const Scene& s, const View& v, QSize px, const std::string& title,
                    const std::vector<std::string>& describe, const PaintOptions& o = {});
// The same from batches; empty when the feed fails.
QByteArray PdfBytes(const PaintFeed& feed, const Assumptions& a, const View& v, QSize px, const std::string& title,
                    const std::vector<std::string>& describe, const PaintOptions& o = {});

}  // namespace q6draw
