#include "Unit1/DrawIndex.h"

#include <algorithm>
#include <cmath>

using q6draw::Box;

namespace {

// An item over more cells than this is kept apart rather than in every cell.
constexpr std::int64_t kMaxCellsPerItem = 64;

double Distance(const Box& b, TDPoint p)
{
    const double dx = std::max({b.x0 - p.X, 0.0, p.X - b.x1});
    const double dy = std::max({b.y0 - p.Y, 0.0, p.Y - b.y1});
    return std::hypot(dx, dy);
}

double SegmentDistance(TDPoint a, TDPoint b, TDPoint p)
{
    const double dx = b.X - a.X, dy = b.Y - a.Y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.X - a.X) * dx + (p.Y - a.Y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(a.X + t * dx - p.X, a.Y + t * dy - p.Y);
}

// How far p lies from what the item draws: its segments, its curves through
// their points (Bezier control polygons, arcs at 128 points a turn), texts
// and images from their boxes.
double ItemDistance(const q6draw::Scene& s, const q6draw::Item& it, TDPoint p)
{
    using q6draw::PrimType;
    double best = INFINITY;
    for (const q6draw::Prim& pr : s.Prims(it)) {
        const auto pts = s.Points(pr);
        switch (pr.type) {
        case PrimType::Polyline:
        case PrimType::Bezier:
            for (std::size_t i = 1; i < pts.size(); ++i) best = std::min(best, SegmentDistance(pts[i - 1], pts[i], p));
            if ((pr.flags & q6draw::Prim::Closed) && pts.size() > 2)
                best = std::min(best, SegmentDistance(pts.back(), pts.front(), p));
            if (pts.size() == 1) best = std::min(best, std::hypot(pts[0].X - p.X, pts[0].Y - p.Y));
            break;
        case PrimType::Marker:
            if (!pts.empty()) best = std::min(best, std::hypot(pts[0].X - p.X, pts[0].Y - p.Y));
            break;
        case PrimType::Arc: {
            const q6draw::Arc a = s.ArcOf(pr);
            const int n = std::clamp(static_cast<int>(std::ceil(std::abs(a.sweep) / (2 * 3.141592653589793) * 128)), 8, 512);
            TDPoint prev = a.At(a.start);
            for (int i = 1; i <= n; ++i) {
                const TDPoint q = a.At(a.start + a.sweep * i / n);
                best = std::min(best, SegmentDistance(prev, q, p));
                prev = q;
            }
            break;
        }
        case PrimType::Text:
        case PrimType::Image: best = std::min(best, Distance(s.PrimBox(pr), p)); break;
        }
    }
    return best;
}

}  // namespace

void TDrawIndex::CellRange(const Box& b, int& cx0, int& cy0, int& cx1, int& cy1) const
{
    // Halves, so that the difference of two finite values stays finite.
    auto cell = [](double v, double origin, double size, int n) {
        const double c = std::floor((v / 2 - origin / 2) / (size / 2));
        if (!(c >= 0)) return 0;  // NaN too
        return c >= n - 1 ? n - 1 : static_cast<int>(c);
    };
    cx0 = cell(b.x0, extent_.x0, cw_, cols_);
    cx1 = cell(b.x1, extent_.x0, cw_, cols_);
    cy0 = cell(b.y0, extent_.y0, ch_, rows_);
    cy1 = cell(b.y1, extent_.y0, ch_, rows_);
}

void TDrawIndex::Build(const q6draw::Scene& s)
{
    const auto items = s.Items();
    boxes_.assign(items.size(), Box{});
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].status != q6draw::Status::Skipped) boxes_[i] = s.ItemBox(items[i]);
    firstCell_.assign(items.size(), 0);
    extent_ = s.Extent();
    big_.clear();
    cellItems_.clear();
    localItems_.clear();
    localBox_.clear();
    localSize_.clear();
    if (extent_.empty) {
        cols_ = rows_ = 0;
        cellStart_.assign(1, 0);
        localStart_.assign(1, 0);
        return;
    }
    // About four items a cell, with cells as square as the extent allows.
    // Half widths: the extent may span more than the largest double.
    const double hw = std::max(extent_.x1 / 2 - extent_.x0 / 2, 1e-300);
    const double hh = std::max(extent_.y1 / 2 - extent_.y0 / 2, 1e-300);
    const double cells = std::clamp(static_cast<double>(items.size()) / 4, 1.0, 4.0e6);
    double aspect = hw / hh;
    if (!(aspect > 1e-6)) aspect = 1e-6;
    if (!(aspect < 1e6)) aspect = 1e6;
    cols_ = static_cast<int>(std::clamp(std::round(std::sqrt(cells * aspect)), 1.0, 4096.0));
    rows_ = static_cast<int>(std::clamp(std::round(cells / cols_), 1.0, 4096.0));
    // Cell sizes, also kept as doubles of the halves' quotient (cell() halves them again).
    cw_ = hw / cols_ * 2;
    ch_ = hh / rows_ * 2;
    if (!(cw_ > 0)) cw_ = 1e-300;
    if (!(ch_ > 0)) ch_ = 1e-300;

    // Two passes: count per cell, then fill.
    const std::size_t ncells = static_cast<std::size_t>(cols_) * static_cast<std::size_t>(rows_);
    cellStart_.assign(ncells + 1, 0);
    localStart_.assign(ncells + 1, 0);
    auto each = [&](auto&& f) {
        for (std::size_t i = 0; i < boxes_.size(); ++i) {
            const Box& b = boxes_[i];
            if (b.empty) continue;
            int x0, y0, x1, y1;
            CellRange(b, x0, y0, x1, y1);
            if (static_cast<std::int64_t>(x1 - x0 + 1) * (y1 - y0 + 1) > kMaxCellsPerItem) {
                f(i, -1, 0, 0, 0);
                continue;
            }
            f(i, x0, y0, x1, y1);
        }
    };
    each([&](std::size_t i, int x0, int y0, int x1, int y1) {
        if (x0 < 0) {
            big_.push_back(static_cast<std::uint32_t>(i));
            return;
        }
        firstCell_[i] = static_cast<std::uint32_t>(x0) | static_cast<std::uint32_t>(y0) << 16;
        if (x0 == x1 && y0 == y1) {
            ++localStart_[static_cast<std::size_t>(y0) * cols_ + x0 + 1];
            return;
        }
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) ++cellStart_[static_cast<std::size_t>(y) * cols_ + x + 1];
    });
    for (std::size_t c = 0; c < ncells; ++c) {
        cellStart_[c + 1] += cellStart_[c];
        localStart_[c + 1] += localStart_[c];
    }
    cellItems_.resize(cellStart_[ncells]);
    localItems_.resize(localStart_[ncells]);
    std::vector<std::uint32_t> fill(cellStart_.begin(), cellStart_.end() - 1);
    std::vector<std::uint32_t> fillLocal(localStart_.begin(), localStart_.end() - 1);
    each([&](std::size_t i, int x0, int y0, int x1, int y1) {
        if (x0 < 0) return;
        if (x0 == x1 && y0 == y1) {
            localItems_[fillLocal[static_cast<std::size_t>(y0) * cols_ + x0]++] = static_cast<std::uint32_t>(i);
            return;
        }
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) cellItems_[fill[static_cast<std::size_t>(y) * cols_ + x]++] = static_cast<std::uint32_t>(i);
    });
    fill = {};
    fillLocal = {};
    auto size = [&](std::uint32_t i) { return std::max(boxes_[i].x1 - boxes_[i].x0, boxes_[i].y1 - boxes_[i].y0); };
    for (std::size_t c = 0; c < ncells; ++c)
        std::stable_sort(localItems_.begin() + localStart_[c], localItems_.begin() + localStart_[c + 1],
                         [&](std::uint32_t a, std::uint32_t b) { return size(a) > size(b); });
    localBox_.resize(localItems_.size());
    localSize_.resize(localItems_.size());
    for (std::size_t k = 0; k < localItems_.size(); ++k) {
        localBox_[k] = boxes_[localItems_[k]];
        localSize_[k] = size(localItems_[k]);
    }
}

void TDrawIndex::Query(const Box& b, double tiny, std::vector<std::uint32_t>& large, std::vector<std::uint32_t>& small,
                       std::vector<std::pair<std::uint32_t, std::uint32_t>>* dots) const
{
    large.clear();
    small.clear();
    if (dots) dots->clear();
    if (b.empty || extent_.empty || !extent_.Intersects(b)) return;
    int x0, y0, x1, y1;
    CellRange(b, x0, y0, x1, y1);
    auto take = [&](std::uint32_t i) {
        const Box& ib = boxes_[i];
        if (!ib.Intersects(b)) return;
        (ib.x1 - ib.x0 < tiny && ib.y1 - ib.y0 < tiny ? small : large).push_back(i);
    };
    bool local = false;  // whether items wholly in a cell were taken (out of file order)
    for (int y = y0; y <= y1; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * cols_;
        for (int x = x0; x <= x1; ++x) {
            // the items wholly in this cell: those at least `tiny` one by
            // one, then the rest, all smaller, in one run
            const std::uint32_t end = localStart_[row + x + 1];
            std::uint32_t j = localStart_[row + x];
            local |= j != end;
            for (; j < end && !(localSize_[j] < tiny); ++j)
                if (localBox_[j].Intersects(b)) large.push_back(localItems_[j]);
            if (dots) {
                if (j != end) dots->emplace_back(j, end);
            } else {
                for (; j < end; ++j)
                    if (localBox_[j].Intersects(b)) small.push_back(localItems_[j]);
            }
            for (std::uint32_t k = cellStart_[row + x]; k < cellStart_[row + x + 1]; ++k) {
                // An item over several cells is met in the first cell of
                // the query it lies in: the later of its first cell and the
                // query's, on each axis.
                const std::uint32_t i = cellItems_[k], f = firstCell_[i];
                const int fx = static_cast<int>(f & 0xFFFFu), fy = static_cast<int>(f >> 16);
                if (x == std::max(x0, fx) && y == std::max(y0, fy)) take(i);
            }
        }
    }
    for (std::uint32_t i : big_) take(i);
    // Cells list items in file order, but an item over several cells comes
    // back out of it, and one wholly in a cell by size: the painter draws in
    // file order.
    if (y0 != y1 || x0 != x1 || !big_.empty() || local) {
        std::sort(large.begin(), large.end());
        std::sort(small.begin(), small.end());
    }
}

std::int64_t TDrawIndex::Pick(const q6draw::Scene& s, TDPoint p, double r) const
{
    Box around;
    around.Add(p.X - r, p.Y - r);
    around.Add(p.X + r, p.Y + r);
    std::vector<std::uint32_t> large, small;
    Query(around, 0, large, small);
    std::int64_t best = -1;
    double bestD = r;
    large.insert(large.end(), small.begin(), small.end());
    std::sort(large.begin(), large.end());
    const auto items = s.Items();
    for (std::uint32_t i : large) {
        if (i >= items.size() || Distance(boxes_[i], p) > bestD) continue;
        const double d = ItemDistance(s, items[i], p);
        if (d <= bestD) {
            bestD = d;
            best = i;
        }
    }
    return best;
}
