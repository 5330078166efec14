// Where the items of a scene lie: a uniform grid over the drawing's extent,
// each cell listing the items whose box meets it, so that a view finds its
// items without looking at the others. Free of any toolkit. Once built it is
// only read: queries from several threads at once are safe.
#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "Q6Draw/Scene.h"

class TDrawIndex {
public:
    void Build(const q6draw::Scene& s);

    // The items whose box meets `b`, in file order: those at least `tiny`
    // drawing units wide or high in `large`, the others (smaller than a pixel
    // at the view's zoom) in `tiny`.
    //
    // With `dots`, the items that lie wholly in one cell and are smaller
    // than `tiny` come back as runs [first, end) of positions for LocalBox
    // rather than one by one in `tiny_`, whether their box meets `b` or not
    // (the caller tests LocalBox); each cell keeps them together, largest
    // first, so that a query takes what is smaller than a pixel at its zoom
    // without walking it item by item. They are then in no file order.
    void Query(const q6draw::Box& b, double tiny, std::vector<std::uint32_t>& large,
               std::vector<std::uint32_t>& tiny_,
               std::vector<std::pair<std::uint32_t, std::uint32_t>>* dots = nullptr) const;
    const q6draw::Box& LocalBox(std::uint32_t k) const { return localBox_[k]; }
    std::uint32_t LocalItem(std::uint32_t k) const { return localItems_[k]; }
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
    std::vector<std::uint32_t> cellItems_;  // the items over more than one cell
    // per cell, into localItems_ (one more at the end): the items wholly in
    // the cell, largest first (the larger of width and height), with their
    // boxes and sizes beside them
    std::vector<std::uint32_t> localStart_;
    std::vector<std::uint32_t> localItems_;
    std::vector<q6draw::Box> localBox_;
    std::vector<double> localSize_;
    std::vector<std::uint32_t> big_;        // items over many cells, looked at by every query
    // per item, its first cell (column | row << 16): a query takes an item
    // over several cells in one of them only
    std::vector<std::uint32_t> firstCell_;
    q6draw::Box extent_;
    int cols_ = 0, rows_ = 0;
    double cw_ = 1, ch_ = 1;
};
