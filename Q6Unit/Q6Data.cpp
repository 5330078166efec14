#include "Q6Unit/Q6Data.h"

TQ6Data::TQ6Data() { DataInit(); }

TQ6Data::~TQ6Data() { DataFree(); }

void TQ6Data::DataInit()
{
    // Every settings member to its new-document value: empty title, zero records.
#define Q6_RESET_SETTINGS(m, id, ver, reader) m = decltype(m){};
    Q6_SETTINGS_KINDS(Q6_RESET_SETTINGS)
#undef Q6_RESET_SETTINGS
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
