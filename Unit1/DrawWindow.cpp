#include "Unit1/DrawWindow.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRect>
#include <cstring>
#include <QStatusBar>
#include <QWheelEvent>
#include <algorithm>
#include <charconv>
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

std::string Num(double v, int digits = 6)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
    return std::string(buf, r.ptr);
}

}  // namespace

TDrawView::TDrawView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 90);
    setCursor(Qt::CrossCursor);
}

void TDrawView::SetScene(std::shared_ptr<const q6draw::Scene> scene)
{
    scene_ = std::move(scene);
    selected_ = -1;
    if (scene_) index_.Build(*scene_);
    else index_ = TDrawIndex();
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

View TDrawView::CurrentView() const
{
    const double hw = std::max(1, width()) / (2 * scale_), hh = std::max(1, height()) / (2 * scale_);
    return View{centre_.X - hw, centre_.Y - hh, centre_.X + hw, centre_.Y + hh};
}

TDPoint TDrawView::ToDrawing(QPointF px) const
{
    const bool up = !scene_ || scene_->Assumed().y == q6draw::Assumptions::YAxis::Up;
    const double x = centre_.X + (px.x() - width() / 2.0) / scale_;
    const double dy = (px.y() - height() / 2.0) / scale_;
    return TDPoint{x, up ? centre_.Y - dy : centre_.Y + dy};
}

QPointF TDrawView::ToPixel(TDPoint p) const
{
    const bool up = !scene_ || scene_->Assumed().y == q6draw::Assumptions::YAxis::Up;
    const double x = width() / 2.0 + (p.X - centre_.X) * scale_;
    const double dy = (p.Y - centre_.Y) * scale_;
    return QPointF(x, up ? height() / 2.0 - dy : height() / 2.0 + dy);
}

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
    // A pan by whole pixels keeps most of the picture: it moves, and only
    // the strips it uncovers are drawn.
    const double dx = pixels.x(), dy = pixels.y();
    const int w = width(), h = height();
    if (!cache_.isNull() && cache_.size() == size() && dx == std::round(dx) && dy == std::round(dy) &&
        std::abs(dx) < w && std::abs(dy) < h) {
        ShiftPicture(static_cast<int>(dx), static_cast<int>(dy));
        update();
        emit viewChanged();
        return;
    }
    Changed();
}

void TDrawView::ShiftPicture(int dx, int dy)
{
    QElapsedTimer t;
    t.start();
    const int w = cache_.width(), h = cache_.height();
    const int bpl = static_cast<int>(cache_.bytesPerLine());
    uchar* bits = cache_.bits();
    // rows in the order that reads each before it is overwritten
    const int x0 = std::max(0, dx), x1 = std::min(w, w + dx);  // target columns
    if (x1 > x0) {
        auto row = [&](int y) {
            std::memmove(bits + static_cast<std::ptrdiff_t>(y) * bpl + x0 * 4,
                         bits + static_cast<std::ptrdiff_t>(y - dy) * bpl + (x0 - dx) * 4,
                         static_cast<std::size_t>(x1 - x0) * 4);
        };
        if (dy > 0)
            for (int y = h - 1; y >= dy; --y) row(y);
        else
            for (int y = 0; y < h + dy; ++y) row(y);
    }
    TDrawStats st;
    auto strip = [&](QRect r) {
        if (r.isEmpty()) return;
        TDrawStats part;
        const QImage img = RenderRect(r, &part);
        for (int y = 0; y < r.height(); ++y)
            std::memcpy(bits + static_cast<std::ptrdiff_t>(r.y() + y) * bpl + r.x() * 4, img.constScanLine(y),
                        static_cast<std::size_t>(r.width()) * 4);
        st.painted += part.painted;
        st.dots += part.dots;
    };
    // the uncovered columns, then the uncovered rows between them
    if (dx > 0) strip(QRect(0, 0, dx, h));
    if (dx < 0) strip(QRect(w + dx, 0, -dx, h));
    if (dy > 0) strip(QRect(x0, 0, x1 - x0, dy));
    if (dy < 0) strip(QRect(x0, h + dy, x1 - x0, -dy));
    st.ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    last_ = st;
}

const QImage& TDrawView::Picture(TDrawStats* stats) const
{
    if (cache_.isNull() || cache_.size() != size()) cache_ = Render();
    if (stats) *stats = last_;
    return cache_;
}

void TDrawView::Select(std::int64_t item, bool bringIntoView)
{
    if (!scene_ || item < 0 || static_cast<std::size_t>(item) >= index_.Size()) item = -1;
    selected_ = item;
    if (item >= 0 && bringIntoView) {
        const Box& b = index_.BoxOf(static_cast<std::uint32_t>(item));
        if (!b.empty) {
            centre_ = TDPoint{(b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2};
            const double w = (b.x1 - b.x0) * 1.1, h = (b.y1 - b.y0) * 1.1;
            if (w * scale_ > width() || h * scale_ > height())
                scale_ = std::clamp(std::min(width() / w, height() / h), kMinScale, kMaxScale);
        }
    }
    Changed();
}

void TDrawView::Changed()
{
    cache_ = QImage();
    update();
    emit viewChanged();
}

QImage TDrawView::Render(TDrawStats* stats) const
{
    return RenderRect(QRect(0, 0, std::max(1, width()), std::max(1, height())), stats);
}

QImage TDrawView::RenderRect(QRect r, TDrawStats* stats) const
{
    QElapsedTimer t;
    t.start();
    const QSize px = r.size();
    QImage img(px, QImage::Format_RGB32);
    img.fill(Qt::white);
    TDrawStats st;
    if (scene_) {
        View v = CurrentView();
        if (r != QRect(QPoint(0, 0), QSize(std::max(1, width()), std::max(1, height())))) {
            // the part of the view under these pixels
            const TDPoint a = ToDrawing(QPointF(r.left(), r.top()));
            const TDPoint b = ToDrawing(QPointF(r.left() + r.width(), r.top() + r.height()));
            v = View{std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)};
        }
        Box b;
        b.Add(v.x0, v.y0);
        b.Add(v.x1, v.y1);
        std::vector<std::uint32_t> large, small;
        // What is smaller than a pixel is one dot: the painter would spend
        // its time on curves nobody can see at this zoom.
        index_.Query(b, kDotPixels / scale_, large, small);
        const auto items = scene_->Items();
        const bool black = scene_->Assumed().colour == q6draw::Assumptions::Colour::None;
        for (std::uint32_t i : small) {
            const Box& ib = index_.BoxOf(i);
            const QPointF c = ToPixel(TDPoint{(ib.x0 + ib.x1) / 2, (ib.y0 + ib.y1) / 2}) - QPointF(r.topLeft());
            const int x = static_cast<int>(std::floor(c.x())), y = static_cast<int>(std::floor(c.y()));
            if (x < 0 || y < 0 || x >= px.width() || y >= px.height()) continue;
            reinterpret_cast<QRgb*>(img.scanLine(y))[x] = black ? 0xFF000000u : (0xFF000000u | items[i].rgb);
        }
        st.dots = small.size();
        if (selected_ >= 0 && large.empty()) large.push_back(static_cast<std::uint32_t>(selected_));
        if (!large.empty()) {
            QPainter p(&img);
            q6draw::PaintOptions o;
            o.only = large;
            o.highlight = selected_;
            // Without antialiasing: a quarter less time a redraw, the same lines.
            o.antialias = false;
            q6draw::Paint(p, *scene_, v, px, o);
        }
        st.painted = large.size();
    }
    st.ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    last_ = st;
    if (stats) *stats = st;
    return img;
}

void TDrawView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, Picture());
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
    return index_.Pick(*scene_, ToDrawing(pixel), kPickPixels / scale_);
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
    View = new TDrawView(this);
    View->setObjectName("DrawView");
    setCentralWidget(View);
    Coordinates = new QLabel(this);
    ZoomLabel = new QLabel(this);
    Summary = new QLabel(this);
    Assumed = new QLabel(this);
    Coordinates->setMinimumWidth(220);
    statusBar()->addWidget(Coordinates);
    statusBar()->addWidget(ZoomLabel);
    statusBar()->addWidget(Summary, 1);
    statusBar()->addPermanentWidget(Assumed);
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
