// Where the items of a scene lie: a uniform grid over the drawing's extent,
// each cell listing the items whose box meets it, so that a view finds its
// items without looking at the others. Free of any toolkit. Once built it is
// only read: queries from several threads at once are safe.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "Q6Draw/Scene.h"

class TDrawIndex {
public:
    void Build(const q6draw::Scene& s);

    // The items whose box meets `b`, in file order: those at least `tiny`
    // drawing units wide or high in `large`, the others (smaller than a pixel
    // at the view's zoom) in `tiny`.
    void Query(const q6draw::Box& b, double tiny, std::vector<std::uint32_t>& large,
               std::vector<std::uint32_t>& tiny_) const;
    // The item whose lines pass nearest p, at most r away (a text or an
    // image counts from its box); among equals the last in file order, as it
    // is drawn on top. -1 when none.
    std::int64_t Pick(const q6draw::Scene& s, TDPoint p, double r) const;

    const q6draw::Box& BoxOf(std::uint32_t item) const { return boxes_[item]; }
    std::size_t Size() const { return boxes_.size(); }

private:
    void CellRange(const q6draw::Box& b, int& cx0, int& cy0, int& cx1, int& cy1) const;

    std::vector<q6draw::Box> boxes_;        // per item; empty for what is not drawn
    std::vector<std::uint32_t> cellStart_;  // per cell, into cellItems_ (one more at the end)
    std::vector<std::uint32_t> cellItems_;
    std::vector<std::uint32_t> big_;        // items over many cells, looked at by every query
    // per item, its first cell (column | row << 16): a query takes an item
    // over several cells in one of them only
    std::vector<std::uint32_t> firstCell_;
    q6draw::Box extent_;
    int cols_ = 0, rows_ = 0;
    double cw_ = 1, ch_ = 1;
};
