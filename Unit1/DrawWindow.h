// The drawing window "図面": the loaded drawing drawn from the same scene and
// painter as q6tool render, with zoom, pan, a status bar and selection.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPointF>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "Q6Draw/Scene.h"
#include "Unit1/DrawIndex.h"

class QLabel;

// What one picture of the view cost and held.
struct TDrawStats {
    double ms = 0;           // query, dots and painting
    std::size_t painted = 0;  // items handed to the painter
    std::size_t dots = 0;     // items smaller than a pixel, shown as one dot each
};

class TDrawView : public QWidget {
    Q_OBJECT

public:
    explicit TDrawView(QWidget* parent = nullptr);

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

    // The picture of the current view at the widget's size, as painted.
    QImage Render(TDrawStats* stats = nullptr) const;
    // The picture the window shows, kept between changes: drawn anew after a
    // zoom, moved after a pan by whole pixels with only the uncovered strips
    // drawn. `stats` tells what the last change cost.
    const QImage& Picture(TDrawStats* stats = nullptr) const;
    const TDrawStats& LastStats() const { return last_; }

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
    // The pixels r of the widget's picture, as Render draws them.
    QImage RenderRect(QRect r, TDrawStats* stats) const;
    void ShiftPicture(int dx, int dy);

    std::shared_ptr<const q6draw::Scene> scene_;
    TDrawIndex index_;
    TDPoint centre_{0, 0};
    double scale_ = 1;     // pixels per drawing unit
    double fitScale_ = 1;  // the scale of the fit
    std::int64_t selected_ = -1;
    mutable QImage cache_;  // the picture of the current view, until it changes
    mutable TDrawStats last_;
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
    QLabel* Assumed = nullptr;

    // A new drawing replaces the shown one, fitted.
    void SetScene(std::shared_ptr<const q6draw::Scene> scene);

private:
    void UpdateStatus();
};
