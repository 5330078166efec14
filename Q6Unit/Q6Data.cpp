#include "Q6Unit/Q6Data.h"

TQ6Data::TQ6Data() { DataInit(); }

TQ6Data::~TQ6Data() { DataFree(); }

void TQ6Data::DataInit()
{
    Title.clear();
    li = TQ6LayerInfo{};
    psz = TQ6PaperSize{};
    ai = TQ6AxisInfo{};
    gi = TQ6GridInfo{};
    txtstl.fill(TQ6TextStyle{});
    dimstl.fill(TQ6DimStyle{});
    dimstlex.fill(TQ6DimStyleEx{});
    symstl = TQ6SymbolStyle{};
    prnstl = TQ6PrintStyle{};
    pri = TQ6PrintInfo{};
    coltbl.fill(0);
    viewinfo.fill(TQ6ViewInfo{});
    EntN = 0;
    Ent.Clear();
#define Q6_RESET_KIND(a, T, id, ver, reader) \
    a##N = 0;                                 \
    a.Clear();
    Q6_ENTITY_KINDS(Q6_RESET_KIND)
#undef Q6_RESET_KIND
}

// The arrays release their elements, with every string, point list and image.
void TQ6Data::DataFree() { DataInit(); }
