// The drawing document: one whole drawing in memory, with its loading and
// saving operations.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "Q6Unit/DynArray.h"
#include "Q6Unit/Kinds.h"
#include "Q6Unit/Model.h"

class ByteSource;

// How far a load goes.
enum class LoadMode : std::uint8_t {
    Check,     // only the first chunk, which must be the title
    Settings,  // the settings pass only
    Whole,     // the settings pass, then the entity pass
};

// The pass of a load that saw a chunk.
enum class LoadPass : std::uint8_t {
    Check,     // the file check
    Settings,  // the settings pass
    Entities,  // the entity pass
};

// What the loader did with one chunk; reported to an observer, if any.
struct ChunkEvent {
    enum What {
        Read,            // its reader took it
        ReaderFailed,    // its reader refused it: the load fails here
        Unknown,         // no kind has this identifier and version: skipped
        OtherPass,       // a kind that the running pass does not read: skipped
        HandOver,        // the settings pass stops here; the entity pass starts here
        NegativeLength,  // the load fails here
        BadHeader,       // fewer than 8 bytes left for a header: the load fails here
    };
    LoadPass pass = LoadPass::Check;
    std::uint64_t offset = 0;
    std::int16_t id = 0;
    std::uint16_t version = 0;
    std::int32_t length = 0;
    What what = Read;
    bool pastEnd = false;  // the declared length runs past the end of the file
    bool ends = false;     // the pass ends at this chunk
    bool result = false;   // the pass's result so far, after this chunk
};
using ChunkObserver = std::function<void(const ChunkEvent&)>;

struct TQ6EntNo;
// Hears each entity that the entity pass reads, with its index entry and its
// record (of the type that the entry's kind names), in file order. The record
// is then dropped: neither it nor its entry is kept in the document, whose
// counts still grow as in a whole load. Returning false fails the load.
using EntitySink = std::function<bool(const TQ6EntNo& entry, const void* record)>;

class TQ6Data {
public:
    TQ6Data();
    ~TQ6Data();
    TQ6Data(const TQ6Data&) = default;
    TQ6Data& operator=(const TQ6Data&) = default;

    std::string Title;
    TQ6LayerInfo li;
    TQ6PaperSize psz;
    TQ6AxisInfo ai;
    TQ6GridInfo gi;
    std::array<TQ6TextStyle, 21> txtstl{};
    std::array<TQ6DimStyle, 20> dimstl{};
    std::array<TQ6DimStyleEx, 3> dimstlex{};
    TQ6SymbolStyle symstl;
    TQ6PrintStyle prnstl;
    TQ6PrintInfo pri;
    std::array<std::uint32_t, 272> coltbl{};
    std::array<TQ6ViewInfo, 32> viewinfo{};
    std::int32_t EntN = 0;
    TDynArray<TQ6EntNo> Ent;
#define Q6_DECLARE_KIND(a, T, id, ver, reader) \
    std::int32_t a##N = 0;                      \
    TDynArray<T> a;
    Q6_ENTITY_KINDS(Q6_DECLARE_KIND)
#undef Q6_DECLARE_KIND

    void DataInit();
    void DataFree();

    // Appends a new zero-filled element to a kind's array and its entry to
    // the index, for documents built in code; INo is identifier x 100 + version.
    template <class T>
    T& AddEntity(TDynArray<T>& arr, std::int32_t& count, std::int32_t INo)
    {
        T& e = arr.AppendAt(count);
        Ent.AppendAt(EntN) = TQ6EntNo{INo, count - 1};
        return e;
    }

    // Loading from a file. Each returns false when the file cannot be opened
    // (missing, not a regular file, or locked by a writer) or does not load.
    bool FileCheck(const std::string& FName);
    bool FileHeaderIn(const std::string& FName);
    bool FileIn(const std::string& FName);
    // The whole load with every entity handed to `entities` and not kept.
    bool FileIn(const std::string& FName, const EntitySink& entities);
    // The same on bytes in memory.
    bool MemCheck(std::span<const std::uint8_t> bytes);
    bool MemHeaderIn(std::span<const std::uint8_t> bytes);
    bool MemIn(std::span<const std::uint8_t> bytes);
    // The general form, telling `observer` (if any) what it did with each chunk.
    bool Load(ByteSource& src, LoadMode mode, const ChunkObserver* observer = nullptr,
              const EntitySink* entities = nullptr);

    // Saving. FileOut writes a temporary file beside FName and renames it over
    // FName only once every byte is on disk; on failure FName is untouched.
    bool FileOut(const std::string& FName) const;
    // The bytes FileOut writes; false when the document cannot be written
    // (an index entry that points outside its array, a payload over 2 GiB).
    bool MemOut(std::string& out) const;
};

// Chunk identifiers and versions as one key.
constexpr std::uint32_t ChunkKey(std::int32_t id, std::int32_t version)
{
    return (static_cast<std::uint32_t>(static_cast<std::uint16_t>(id)) << 16) | static_cast<std::uint16_t>(version);
}

// The kind's name for a chunk ("point", "layer table" ...), or null when unknown.
inline const char* ChunkKindName(std::int16_t id, std::uint16_t version) { return q6kinds::ChunkName(id, version); }
