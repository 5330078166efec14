#include "Unit1/DrawWindow.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <chrono>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRect>
#include <cstring>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <charconv>
#include <future>
#include <span>
#include <thread>
#include <cmath>
#include <string>

#include "Q6Draw/Paint.h"

using q6draw::Box;
using q6draw::View;

namespace {

constexpr double kWheelStep = 1.25;  // zoom of one wheel notch
constexpr double kPickPixels = 4;    // how far from a line a click still hits it
constexpr double kMinScale = 1e-12, kMaxScale = 1e12;
constexpr double kDotPixels = 3;  // an item smaller than this on both sides is one dot
// With at least this many items to paint, a picture of one ink is painted by
// two threads (fewer are not worth starting a thread for).
constexpr std::size_t kSplitItems = 256;

std::string Num(double v, int digits = 6)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
    return std::string(buf, r.ptr);
}

}  // namespace

TDPoint TViewGeom::ToDrawing(QPointF px) const
{
    const double x = centre.X + (px.x() - size.width() / 2.0) / scale;
    const double dy = (px.y() - size.height() / 2.0) / scale;
    return TDPoint{x, yUp ? centre.Y - dy : centre.Y + dy};
}

QPointF TViewGeom::ToPixel(TDPoint p) const
{
    const double x = size.width() / 2.0 + (p.X - centre.X) * scale;
    const double dy = (p.Y - centre.Y) * scale;
    return QPointF(x, yUp ? size.height() / 2.0 - dy : size.height() / 2.0 + dy);
}

View TViewGeom::View() const
{
    const double hw = size.width() / (2 * scale), hh = size.height() / (2 * scale);
    return q6draw::View{centre.X - hw, centre.Y - hh, centre.X + hw, centre.Y + hh};
}

QImage DrawPart(const TDrawJob& job, QRect r, TDrawStats* stats, const std::atomic<bool>* cancel)
{
    QElapsedTimer t;
    t.start();
    const QSize px = r.size();
    QImage img(px, QImage::Format_RGB32);
    img.fill(Qt::white);
    TDrawStats st;
    if (job.scene && job.index) {
        const TViewGeom& g = job.geom;
        View v = g.View();
        if (r != QRect(QPoint(0, 0), g.size)) {
            // the part of the view under these pixels
            const TDPoint a = g.ToDrawing(QPointF(r.left(), r.top()));
            const TDPoint b = g.ToDrawing(QPointF(r.left() + r.width(), r.top() + r.height()));
            v = View{std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)};
        }
        Box b;
        b.Add(v.x0, v.y0);
        b.Add(v.x1, v.y1);
        std::vector<std::uint32_t> large, small;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
        const auto items = job.scene->Items();
        const bool black = job.scene->Assumed().colour == q6draw::Assumptions::Colour::None;
        // What is smaller than a pixel is one dot: the painter would spend
        // its time on curves nobody can see at this zoom. With one ink the
        // order of the dots does not matter, and the index hands over those
        // wholly in a cell in runs, kept together for this.
        job.index->Query(b, kDotPixels / g.scale, large, small, black ? &runs : nullptr);
        const QPointF origin(r.topLeft());
        QRgb* const pixels = reinterpret_cast<QRgb*>(img.bits());
        const qsizetype row = img.bytesPerLine() / 4;
        auto dot = [&](const Box& ib, QRgb ink) {
            const QPointF c = g.ToPixel(TDPoint{(ib.x0 + ib.x1) / 2, (ib.y0 + ib.y1) / 2}) - origin;
            const int x = static_cast<int>(std::floor(c.x())), y = static_cast<int>(std::floor(c.y()));
            if (x < 0 || y < 0 || x >= px.width() || y >= px.height()) return;
            pixels[static_cast<qsizetype>(y) * row + x] = ink;
        };
        for (std::uint32_t i : small) dot(job.index->BoxOf(i), black ? 0xFF000000u : (0xFF000000u | items[i].rgb));
        st.dots = small.size();
        for (const auto& [from, end] : runs)
            for (std::uint32_t k = from; k < end; ++k) {
                const Box& ib = job.index->LocalBox(k);
                if (!ib.Intersects(b)) continue;
                dot(ib, 0xFF000000u);
                ++st.dots;
            }
        if (job.selected >= 0 && large.empty()) large.push_back(static_cast<std::uint32_t>(job.selected));
        auto cancelled = [&] { return cancel && cancel->load(std::memory_order_relaxed); };
        auto paint = [&](QImage& into, std::span<const std::uint32_t> only, std::int64_t highlight) {
            QPainter p(&into);
            q6draw::PaintOptions o;
            o.only = only;
            o.highlight = highlight;
            o.cancel = cancel;
            o.textCache = job.texts.get();
            // Without antialiasing: solid pixels straight into the image.
            o.antialias = false;
            q6draw::Paint(p, *job.scene, v, px, o);
        };
        const unsigned threads = job.threads ? job.threads : std::thread::hardware_concurrency();
        if (large.empty() || cancelled()) {
        } else if (!black || threads < 2 || large.size() < kSplitItems) {
            paint(img, large, job.selected);
        } else {
            // Two painters, each with every other item on a white picture of
            // its own. Without antialiasing and with one ink a pixel is paper
            // or ink, and inked in the one picture when inked in either: the
            // two merge by AND (white is all ones, the ink has fewer), and
            // the order of the items does not change the picture. The
            // highlight goes over the merged picture, as it goes last.
            std::vector<std::uint32_t> half[2];
            for (std::uint32_t i : large)
                if (static_cast<std::int64_t>(i) != job.selected) half[half[0].size() > half[1].size()].push_back(i);
            QImage other(px, QImage::Format_RGB32);
            other.fill(Qt::white);
            auto second = std::async(std::launch::async, [&] {
                if (!half[1].empty()) paint(other, half[1], -1);
            });
            if (!half[0].empty()) paint(img, half[0], -1);
            second.get();
            const int n = px.width();
            for (int y = 0; y < px.height(); ++y) {
                auto* into = reinterpret_cast<QRgb*>(img.scanLine(y));
                const auto* from = reinterpret_cast<const QRgb*>(other.constScanLine(y));
                for (int x = 0; x < n; ++x) into[x] &= from[x];
            }
            if (job.selected >= 0 && !cancelled()) {
                const std::uint32_t sel[] = {static_cast<std::uint32_t>(job.selected)};
                paint(img, sel, job.selected);
            }
        }
        st.painted = large.size();
    }
    st.ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    if (stats) *stats = st;
    return img;
}

QImage DrawJob(const TDrawJob& job, TDrawStats* stats, const std::atomic<bool>* cancel)
{
    if (job.strips.empty() || job.base.size() != job.geom.size) return DrawPart(job, QRect(QPoint(0, 0), job.geom.size), stats, cancel);
    QElapsedTimer t;
    t.start();
    QImage img = job.base;
    const int bpl = static_cast<int>(img.bytesPerLine());
    uchar* bits = img.bits();
    TDrawStats st;
    for (const QRect& r : job.strips) {
        if (r.isEmpty()) continue;
        TDrawStats part;
        const QImage piece = DrawPart(job, r, &part, cancel);
        for (int y = 0; y < r.height(); ++y)
            std::memcpy(bits + static_cast<std::ptrdiff_t>(r.y() + y) * bpl + r.x() * 4, piece.constScanLine(y),
                        static_cast<std::size_t>(r.width()) * 4);
        st.painted += part.painted;
        st.dots += part.dots;
    }
    st.ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    if (stats) *stats = st;
    return img;
}

TDrawThread::TDrawThread(std::function<void()> done) : done_(std::move(done)), thread_([this] { Loop(); }) {}

TDrawThread::~TDrawThread()
{
    {
        std::lock_guard<std::mutex> l(mu_);
        stop_ = true;
        cancel_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void TDrawThread::Submit(TDrawJob job)
{
    {
        std::lock_guard<std::mutex> l(mu_);
        // A picture of another zoom, size or drawing is of no use any more.
        if (running_ && (runningGeom_.scale != job.geom.scale || runningGeom_.size != job.geom.size ||
                         runningScene_ != job.scene.get()))
            cancel_ = true;
        pending_ = std::move(job);
        has_ = true;
    }
    wake_.notify_all();
}

bool TDrawThread::Take(Result& out)
{
    std::lock_guard<std::mutex> l(mu_);
    if (!ready_) return false;
    out = std::move(result_);
    result_ = Result();
    ready_ = false;
    return true;
}

bool TDrawThread::WaitFor(std::uint64_t generation, int ms)
{
    std::unique_lock<std::mutex> l(mu_);
    return finished_.wait_for(l, std::chrono::milliseconds(ms), [&] { return lastDone_ >= generation; });
}

void TDrawThread::Loop()
{
    for (;;) {
        TDrawJob job;
        {
            std::unique_lock<std::mutex> l(mu_);
            wake_.wait(l, [&] { return stop_ || has_; });
            if (stop_) return;
            job = std::move(pending_);
            pending_ = TDrawJob();
            has_ = false;
            running_ = true;
            runningGeom_ = job.geom;
            runningScene_ = job.scene.get();
            cancel_ = false;
        }
        TDrawStats st;
        QImage img = DrawJob(job, &st, &cancel_);
        bool delivered = false;
        {
            std::lock_guard<std::mutex> l(mu_);
            running_ = false;
            if (!cancel_ && !stop_) {
                result_ = Result{job.generation, job.geom, job.selected, std::move(img), st};
                ready_ = true;
                delivered = true;
                lastDone_ = std::max(lastDone_, job.generation);
            }
        }
        // the job's shares of the scene go here, not under the lock
        job = TDrawJob();
        if (delivered) {
            finished_.notify_all();
            done_();
        }
    }
}

TDrawView::TDrawView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 90);
    setCursor(Qt::CrossCursor);
    (void)q6draw::DrawingFontFamily();  // the font database, asked here before the drawing thread uses it
    texts_ = std::make_shared<q6draw::TextCache>();
    thread_ = std::make_unique<TDrawThread>([this] {
        QMetaObject::invokeMethod(this, [this] { TakeResults(); }, Qt::QueuedConnection);
    });
}

TDrawView::~TDrawView() { thread_.reset(); }

void TDrawView::SetScene(std::shared_ptr<const q6draw::Scene> scene)
{
    scene_ = std::move(scene);
    selected_ = -1;
    auto index = std::make_shared<TDrawIndex>();
    if (scene_) index->Build(*scene_);
    index_ = std::move(index);
    // (kept layouts stay right for any drawing; a new one starts afresh so
    // that the old one's texts do not take the room)
    texts_ = std::make_shared<q6draw::TextCache>();
    shown_ = QImage();  // nothing of the old drawing is moved into the new
    Fit();
}

void TDrawView::Fit()
{
    const View v = q6draw::DefaultView(scene_ ? scene_->Extent() : Box{});
    centre_ = TDPoint{(v.x0 + v.x1) / 2, (v.y0 + v.y1) / 2};
    const double w = std::max(1, width()), h = std::max(1, height());
    fitScale_ = std::clamp(std::min(w / (v.x1 - v.x0), h / (v.y1 - v.y0)), kMinScale, kMaxScale);
    scale_ = fitScale_;
    Changed();
}

TViewGeom TDrawView::Geom() const
{
    TViewGeom g;
    g.centre = centre_;
    g.scale = scale_;
    g.size = QSize(std::max(1, width()), std::max(1, height()));
    g.yUp = !scene_ || scene_->Assumed().y == q6draw::Assumptions::YAxis::Up;
    return g;
}

TDrawJob TDrawView::Job() const
{
    TDrawJob j;
    j.generation = generation_;
    j.scene = scene_;
    j.index = index_;
    j.geom = Geom();
    j.selected = selected_;
    j.texts = texts_;
    return j;
}

View TDrawView::CurrentView() const { return Geom().View(); }

TDPoint TDrawView::ToDrawing(QPointF px) const { return Geom().ToDrawing(px); }

QPointF TDrawView::ToPixel(TDPoint p) const { return Geom().ToPixel(p); }

void TDrawView::ZoomAt(QPointF pixel, double factor)
{
    if (!(factor > 0) || !std::isfinite(factor)) return;
    const TDPoint before = ToDrawing(pixel);
    scale_ = std::clamp(scale_ * factor, kMinScale, kMaxScale);
    // Move the centre so that `before` is under `pixel` again.
    const TDPoint after = ToDrawing(pixel);
    centre_.X += before.X - after.X;
    centre_.Y += before.Y - after.Y;
    Changed();
}

void TDrawView::PanBy(QPointF pixels)
{
    const TDPoint a = ToDrawing(QPointF(0, 0));
    const TDPoint b = ToDrawing(pixels);
    centre_.X -= b.X - a.X;
    centre_.Y -= b.Y - a.Y;
    Changed();
}

void TDrawView::Adopt(QImage img, const TViewGeom& from, bool exact)
{
    const TViewGeom now = Geom();
    QElapsedTimer t;
    t.start();
    if (!img.isNull() && from == now) {
        shown_ = std::move(img);
        shownGeom_ = now;
        exact_ = exact;
        if (!exact_) thread_->Submit(Job());
        update();
        return;
    }
    TDrawJob job = Job();
    QImage next(now.size, QImage::Format_RGB32);
    next.fill(Qt::white);
    // where the picture's top left pixel lands now, and its pixels' size
    const QPointF at = img.isNull() ? QPointF() : now.ToPixel(from.ToDrawing(QPointF(0, 0)));
    const double k = now.scale / from.scale;
    const double dx = at.x(), dy = at.y();
    const int w = now.size.width(), h = now.size.height();
    if (!img.isNull() && k == 1 && img.size() == now.size && from.yUp == now.yUp && std::abs(dx - std::round(dx)) < 1e-6 &&
        std::abs(dy - std::round(dy)) < 1e-6 && std::abs(dx) < w && std::abs(dy) < h) {
        // A pan by whole pixels: the picture moves, and only the strips it
        // uncovers are to be drawn (all of it again when it was not exact).
        const int ix = static_cast<int>(std::round(dx)), iy = static_cast<int>(std::round(dy));
        const int bpl = static_cast<int>(next.bytesPerLine());
        const int x0 = std::max(0, ix), x1 = std::min(w, w + ix);  // target columns
        const int y0 = std::max(0, iy), y1 = std::min(h, h + iy);
        for (int y = y0; y < y1; ++y)
            std::memcpy(next.bits() + static_cast<std::ptrdiff_t>(y) * bpl + x0 * 4, img.constScanLine(y - iy) + (x0 - ix) * 4,
                        static_cast<std::size_t>(x1 - x0) * 4);
        if (exact) {
            // the uncovered columns, then the uncovered rows between them
            if (ix > 0) job.strips.push_back(QRect(0, 0, ix, h));
            if (ix < 0) job.strips.push_back(QRect(w + ix, 0, -ix, h));
            if (iy > 0) job.strips.push_back(QRect(x0, 0, x1 - x0, iy));
            if (iy < 0) job.strips.push_back(QRect(x0, h + iy, x1 - x0, -iy));
            job.base = next;
        }
    } else if (!img.isNull() && from.yUp == now.yUp && k > 1.0 / 64 && k < 64) {
        // A zoom: the kept picture scaled at once, until the exact one comes.
        QPainter p(&next);
        p.drawImage(QRectF(at, QSizeF(img.width() * k, img.height() * k)), img);
    }
    shown_ = std::move(next);
    shownGeom_ = now;
    exact_ = false;
    previewMs_ = static_cast<double>(t.nsecsElapsed()) / 1e6;
    thread_->Submit(std::move(job));
    update();
}

void TDrawView::TakeResults()
{
    TDrawThread::Result r;
    if (!thread_->Take(r)) return;
    last_ = r.stats;
    // A picture drawn before the selection changed is not of use even of
    // this view (the job of the change is on its way).
    if (r.selected != selected_) return;
    if (r.generation == generation_ || r.geom == Geom()) {
        shown_ = std::move(r.image);
        shownGeom_ = r.geom;
        exact_ = true;
        update();
        return;
    }
    // An exact picture of an earlier view: better than what is shown, when
    // it is of the same zoom (it moves by whole pixels, the rest drawn).
    if (!exact_ && r.geom.scale == scale_ && r.geom.size == Geom().size) Adopt(std::move(r.image), r.geom, true);
}

const QImage& TDrawView::Picture(TDrawStats* stats)
{
    if (shown_.isNull() || shownGeom_ != Geom()) Adopt(shown_, shownGeom_, exact_);
    for (int rounds = 0; !exact_ && rounds < 1000; ++rounds) {
        thread_->WaitFor(generation_, 100);
        TakeResults();
    }
    if (stats) *stats = last_;
    return shown_;
}

void TDrawView::Select(std::int64_t item, bool bringIntoView)
{
    if (!scene_ || item < 0 || static_cast<std::size_t>(item) >= index_->Size()) item = -1;
    selected_ = item;
    if (item >= 0 && bringIntoView) {
        const Box& b = index_->BoxOf(static_cast<std::uint32_t>(item));
        if (!b.empty) {
            centre_ = TDPoint{(b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2};
            const double w = (b.x1 - b.x0) * 1.1, h = (b.y1 - b.y0) * 1.1;
            if (w * scale_ > width() || h * scale_ > height())
                scale_ = std::clamp(std::min(width() / w, height() / h), kMinScale, kMaxScale);
        }
    }
    // the highlight changes the picture even where the view stays
    exact_ = false;
    Changed();
}

void TDrawView::Changed()
{
    ++generation_;
    Adopt(shown_, shownGeom_, exact_);
    emit viewChanged();
}

QImage TDrawView::Render(TDrawStats* stats) const
{
    const TDrawJob job = Job();
    return DrawPart(job, QRect(QPoint(0, 0), job.geom.size), stats);
}

void TDrawView::paintEvent(QPaintEvent*)
{
    if (shown_.isNull() || shownGeom_ != Geom()) Adopt(shown_, shownGeom_, exact_);
    QPainter p(this);
    p.drawImage(0, 0, shown_);
}

void TDrawView::resizeEvent(QResizeEvent*)
{
    // The same drawing stays in view; a window that was at its fit stays fitted.
    const bool fitted = std::abs(scale_ / fitScale_ - 1) < 1e-9;
    if (fitted) {
        Fit();
        return;
    }
    const View v = q6draw::DefaultView(scene_ ? scene_->Extent() : Box{});
    fitScale_ = std::min(std::max(1, width()) / (v.x1 - v.x0), std::max(1, height()) / (v.y1 - v.y0));
    Changed();
}

void TDrawView::wheelEvent(QWheelEvent* event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0) ZoomAt(event->position(), std::pow(kWheelStep, notches));
    event->accept();
}

std::int64_t TDrawView::PickAt(QPointF pixel) const
{
    if (!scene_) return -1;
    return index_->Pick(*scene_, ToDrawing(pixel), kPickPixels / scale_);
}

void TDrawView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    dragged_ = false;
    pressAt_ = lastAt_ = event->position();
}

void TDrawView::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    emit cursorAt(ToDrawing(at), true);
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return;
    if (!dragged_ && (at - pressAt_).manhattanLength() < 4) return;
    dragged_ = true;
    setCursor(Qt::ClosedHandCursor);
    PanBy(at - lastAt_);
    lastAt_ = at;
}

void TDrawView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !dragging_) return;
    dragging_ = false;
    setCursor(Qt::CrossCursor);
    if (dragged_) return;
    const std::int64_t hit = PickAt(event->position());
    Select(hit, false);
    emit itemClicked(hit);
}

void TDrawView::keyPressEvent(QKeyEvent* event)
{
    const QPointF centre(width() / 2.0, height() / 2.0);
    const double stepX = width() / 8.0, stepY = height() / 8.0;
    switch (event->key()) {
    case Qt::Key_Home: Fit(); break;
    case Qt::Key_Left: PanBy(QPointF(stepX, 0)); break;
    case Qt::Key_Right: PanBy(QPointF(-stepX, 0)); break;
    case Qt::Key_Up: PanBy(QPointF(0, stepY)); break;
    case Qt::Key_Down: PanBy(QPointF(0, -stepY)); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: ZoomAt(centre, kWheelStep); break;
    case Qt::Key_Minus: ZoomAt(centre, 1 / kWheelStep); break;
    case Qt::Key_Escape: Select(-1, false); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void TDrawView::leaveEvent(QEvent*) { emit cursorAt(TDPoint{0, 0}, false); }

TDrawWindow::TDrawWindow(QWidget* parent) : QMainWindow(parent, Qt::Window)
{
    setWindowTitle(QString::fromUtf8("図面"));
    resize(800, 600);
    // The drawing, and under it the assumptions on a line of their own, so
    // that none of them is cut; the status bar holds the rest.
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    View = new TDrawView(central);
    View->setObjectName("DrawView");
    column->addWidget(View, 1);
    Assumed = new QLabel(central);
    Assumed->setObjectName("Assumptions");
    Assumed->setWordWrap(true);
    Assumed->setContentsMargins(4, 0, 4, 0);
    Assumed->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(Assumed);
    setCentralWidget(central);
    Coordinates = new QLabel(this);
    ZoomLabel = new QLabel(this);
    Summary = new QLabel(this);
    Coordinates->setMinimumWidth(220);
    statusBar()->addWidget(Coordinates);
    statusBar()->addWidget(ZoomLabel);
    statusBar()->addWidget(Summary, 1);
    connect(View, &TDrawView::cursorAt, this, [this](TDPoint p, bool inside) {
        Coordinates->setText(inside ? QString::fromStdString("X " + Num(p.X, 8) + "  Y " + Num(p.Y, 8)) : QString());
    });
    connect(View, &TDrawView::viewChanged, this, &TDrawWindow::UpdateStatus);
    UpdateStatus();
}

void TDrawWindow::SetScene(std::shared_ptr<const q6draw::Scene> scene)
{
    View->SetScene(std::move(scene));
    UpdateStatus();
}

void TDrawWindow::UpdateStatus()
{
    ZoomLabel->setText(QString::fromUtf8("倍率 ") + QString::fromStdString(Num(View->Zoom() * 100, 4)) + "%");
    const q6draw::Scene* s = View->Scene();
    if (!s) {
        Summary->setText(QString::fromUtf8("図面がありません"));
        Assumed->clear();
        Assumed->setToolTip(QString());
        return;
    }
    Summary->setText(QString::fromStdString(s->SummaryLine()));
    QString tip;
    for (const std::string& l : s->SummaryLines()) tip += QString::fromStdString(l) + "\n";
    Summary->setToolTip(tip.trimmed());
    // The assumptions in short, and each with its meaning on hover.
    QString shortText, longText;
    for (const q6draw::Assumptions::Key& k : q6draw::Assumptions::Keys()) {
        shortText += QString::fromUtf8(k.key) + "=" + QString::fromStdString(s->Assumed().Value(k.key)) + " ";
    }
    for (const std::string& l : s->Assumed().Describe()) longText += QString::fromStdString(l) + "\n";
    Assumed->setText(QString::fromUtf8("仮定: ") + shortText.trimmed());
    Assumed->setToolTip(longText.trimmed());
}
