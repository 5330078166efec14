#include "Q6Unit/Q6Data.h"

#include "Q6Unit/ChunkIO.h"

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

bool TQ6Data::Load(ByteSource& src, int mode, const ChunkObserver* observer)
{
    LoadInput in(src);
    in.obs = observer;
    const auto size = static_cast<std::int64_t>(std::min<std::uint64_t>(src.Size(), INT64_MAX / 4));
    in.overread = size + (16 << 20);
    in.records = 2 * size + (16 << 20);
    if (mode == 0) {
        std::int16_t id;
        std::uint16_t ver;
        std::int32_t len;
        if (!ReadChunkHeader(in, id, ver, len)) {
            if (observer) {
                ChunkEvent e;
                e.what = ChunkEvent::BadHeader;
                (*observer)(e);
            }
            return false;
        }
        const bool ok = id == 1000 && ver == 10 && len >= 0 && len <= 256 && ReadTitle(in, len);
        if (observer) {
            ChunkEvent e;
            e.id = id;
            e.version = ver;
            e.length = len;
            e.what = ok ? ChunkEvent::Read : ChunkEvent::ReaderFailed;
            e.pastEnd = len >= 0 && 8 + static_cast<std::uint64_t>(len) > src.Size();
            (*observer)(e);
        }
        return ok;
    }
    std::uint64_t handover = UINT64_MAX;
    bool result = ReadHeaderChunks(in, handover);
    // The entity pass starts at the chunk at which the settings pass stopped;
    // a settings pass that ran to the end of the file leaves no entity pass.
    if (mode == 2 && result && handover != UINT64_MAX) result = ReadEntityChunks(in, handover);
    return result;
}

bool TQ6Data::FileCheck(const std::string& FName)
{
    FileSource f;
    return f.Open(FName) && Load(f, 0);
}

bool TQ6Data::FileHeaderIn(const std::string& FName)
{
    FileSource f;
    return f.Open(FName) && Load(f, 1);
}

bool TQ6Data::FileIn(const std::string& FName)
{
    FileSource f;
    return f.Open(FName) && Load(f, 2);
}

bool TQ6Data::MemCheck(std::span<const std::uint8_t> bytes)
{
    MemorySource m(bytes);
    return Load(m, 0);
}

bool TQ6Data::MemHeaderIn(std::span<const std::uint8_t> bytes)
{
    MemorySource m(bytes);
    return Load(m, 1);
}

bool TQ6Data::MemIn(std::span<const std::uint8_t> bytes)
{
    MemorySource m(bytes);
    return Load(m, 2);
}
