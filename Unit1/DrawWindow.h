// The drawing window "図面": the loaded drawing drawn from the same scene and
// painter as q6tool render, with zoom, pan, a status bar and selection.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QSize>
#include <QPointF>
#include <QRect>
#include <QWidget>
#include <atomic>
#include <functional>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Q6Draw/Paint.h"
#include "Q6Draw/Scene.h"
#include "Unit1/DrawIndex.h"

class QLabel;

// What one picture of the view cost and held.
struct TDrawStats {
    double ms = 0;           // query, dots and painting
    std::size_t painted = 0;  // items handed to the painter
    std::size_t dots = 0;     // items smaller than a pixel, shown as one dot each
};

// Where a picture looks: the drawing point at its middle, pixels per drawing
// unit, its size in pixels and the direction of Y.
struct TViewGeom {
    TDPoint centre{0, 0};
    double scale = 1;
    QSize size{1, 1};
    bool yUp = true;
    TDPoint ToDrawing(QPointF px) const;
    QPointF ToPixel(TDPoint p) const;
    q6draw::View View() const;
    bool operator==(const TViewGeom& o) const
    {
        return centre.X == o.centre.X && centre.Y == o.centre.Y && scale == o.scale && size == o.size && yUp == o.yUp;
    }
};

// What the drawing thread is asked to draw: the whole picture of `geom`, or
// only `strips` of it into `base` (the earlier exact picture, moved).
struct TDrawJob {
    std::uint64_t generation = 0;
    std::shared_ptr<const q6draw::Scene> scene;
    std::shared_ptr<const TDrawIndex> index;
    TViewGeom geom;
    std::int64_t selected = -1;
    // How many threads may paint it: 0 for as many as the machine has cores.
    unsigned threads = 0;
    // The layouts of huge texts kept between pictures (none: laid out anew).
    std::shared_ptr<q6draw::TextCache> texts;
    QImage base;
    std::vector<QRect> strips;
};

// Draws the pixels r of the job's picture, reading the scene and the index
// only (any thread); stops early when `cancel` becomes true.
QImage DrawPart(const TDrawJob& job, QRect r, TDrawStats* stats, const std::atomic<bool>* cancel = nullptr);
// Draws the job's picture: the whole one, or the strips into its base.
QImage DrawJob(const TDrawJob& job, TDrawStats* stats, const std::atomic<bool>* cancel = nullptr);

// One thread that draws the window's pictures, the latest request first: a
// request for another zoom or size cancels the one being drawn, one for a
// pan lets it finish (its picture is still of use, moved).
class TDrawThread {
public:
    struct Result {
        std::uint64_t generation = 0;
        TViewGeom geom;
        std::int64_t selected = -1;  // the highlighted item it was drawn with
        QImage image;
        TDrawStats stats;
    };
    // `done` is called on the drawing thread after each finished picture.
    explicit TDrawThread(std::function<void()> done);
    ~TDrawThread();
    void Submit(TDrawJob job);
    // The latest finished picture, if any not taken yet.
    bool Take(Result& out);
    // Waits until a picture of `generation` is finished (or ms pass).
    bool WaitFor(std::uint64_t generation, int ms);

private:
    void Loop();
    std::function<void()> done_;
    std::mutex mu_;
    std::condition_variable wake_, finished_;
    bool stop_ = false, has_ = false, running_ = false, ready_ = false;
    TDrawJob pending_;
    TViewGeom runningGeom_;
    const void* runningScene_ = nullptr;
    Result result_;
    std::uint64_t lastDone_ = 0;
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

class TDrawView : public QWidget {
    Q_OBJECT

public:
    explicit TDrawView(QWidget* parent = nullptr);
    ~TDrawView() override;

    // Shows `scene` fitted to the window; null shows nothing.
    void SetScene(std::shared_ptr<const q6draw::Scene> scene);
    const q6draw::Scene* Scene() const { return scene_.get(); }

    void Fit();                                 // the whole drawing (Home)
    void ZoomAt(QPointF pixel, double factor);  // the point under `pixel` stays put
    void PanBy(QPointF pixels);                 // the drawing moves by this many pixels
    // Selects an item (-1: none), highlighted; with bringIntoView, the view
    // moves to it (and zooms out when it is larger than the window).
    void Select(std::int64_t item, bool bringIntoView);
    std::int64_t Selected() const { return selected_; }

    // Drawing coordinates of a pixel of the widget, and back.
    TDPoint ToDrawing(QPointF pixel) const;
    QPointF ToPixel(TDPoint p) const;
    // The view as drawn (the widget's aspect), and the zoom against the fit.
    q6draw::View CurrentView() const;
    double Zoom() const { return fitScale_ > 0 ? scale_ / fitScale_ : 1; }
    // Pixels per drawing unit; sets it about the view's centre.
    double Scale() const { return scale_; }

    // The picture of the current view at the widget's size, drawn here and now.
    QImage Render(TDrawStats* stats = nullptr) const;
    // The exact picture of the current view, kept between changes: drawn
    // anew after a zoom, moved after a pan by whole pixels with only the
    // uncovered strips drawn. Waits for the drawing thread. `stats` tells
    // what the last drawing cost.
    const QImage& Picture(TDrawStats* stats = nullptr);
    // What the window shows now: right after a change, the kept picture
    // moved or scaled to the new view (Exact() false) until the drawing
    // thread delivers the exact one.
    const QImage& Shown() const { return shown_; }
    bool Exact() const { return exact_; }
    const TDrawStats& LastStats() const { return last_; }
    // What showing the kept picture after the last change took.
    double PreviewMs() const { return previewMs_; }

signals:
    void itemClicked(std::int64_t item);  // -1 for a click on nothing
    void cursorAt(TDPoint p, bool inside);
    void viewChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Changed();
    std::int64_t PickAt(QPointF pixel) const;
    TViewGeom Geom() const;
    TDrawJob Job() const;
    // Shows `img`, a picture of `from` (exact or not), for the current view:
    // as it is, moved or scaled, and asks the drawing thread for what is
    // missing.
    void Adopt(QImage img, const TViewGeom& from, bool exact);
    void TakeResults();

    std::shared_ptr<const q6draw::Scene> scene_;
    std::shared_ptr<const TDrawIndex> index_;
    std::shared_ptr<q6draw::TextCache> texts_;
    TDPoint centre_{0, 0};
    double scale_ = 1;     // pixels per drawing unit
    double fitScale_ = 1;  // the scale of the fit
    std::int64_t selected_ = -1;
    QImage shown_;       // what the window shows
    TViewGeom shownGeom_;  // the view it is of
    bool exact_ = false;   // whether it is the exact picture of the current view
    std::uint64_t generation_ = 0;  // counts the changes of the view
    TDrawStats last_;
    double previewMs_ = 0;
    std::unique_ptr<TDrawThread> thread_;
    bool dragging_ = false;
    bool dragged_ = false;
    QPointF pressAt_;
    QPointF lastAt_;
};

class TDrawWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit TDrawWindow(QWidget* parent = nullptr);
    TDrawView* View = nullptr;
    QLabel* Coordinates = nullptr;
    QLabel* ZoomLabel = nullptr;
    QLabel* Summary = nullptr;
    QLabel* Assumed = nullptr;  // a line of its own under the drawing: all of it shows

    // A new drawing replaces the shown one, fitted.
    void SetScene(std::shared_ptr<const q6draw::Scene> scene);

private:
    void UpdateStatus();
};
