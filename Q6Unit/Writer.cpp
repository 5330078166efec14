// Saving: the 13 settings chunks in their fixed order, then one chunk per
// entry of the entity index, each payload through the record's field list.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdlib>
#include <random>

#include "Q6Unit/ChunkIO.h"
#include "Q6Unit/Layout.h"
#include "Q6Unit/Q6Data.h"
#include "Q6Unit/Files.h"
#include "Q6Unit/Walk.h"

namespace {

void WriteChunkHeader(std::string& out, std::int16_t id, std::int16_t version, std::int32_t length)
{
    out.append(reinterpret_cast<const char*>(&id), 2);
    out.append(reinterpret_cast<const char*>(&version), 2);
    out.append(reinterpret_cast<const char*>(&length), 4);
}

// Writes one chunk: the header, then what `payload` appends; the length in
// the header is the number of bytes appended. False when it exceeds 2^31 - 1.
template <class F>
bool Chunk(std::string& out, std::int16_t id, std::int16_t version, F&& payload)
{
    const std::size_t at = out.size();
    WriteChunkHeader(out, id, version, 0);
    ChunkWriter w(out);
    payload(w);
    const std::size_t n = out.size() - at - 8;
    if (n > static_cast<std::size_t>(INT32_MAX)) return false;
    const auto len = static_cast<std::int32_t>(n);
    std::memcpy(out.data() + at + 4, &len, 4);
    return true;
}

template <class T>
bool EntityChunk(std::string& out, std::int32_t INo, const TDynArray<T>& arr, std::int32_t count, std::int32_t ENo)
{
    if (ENo < 0 || ENo >= count || static_cast<std::size_t>(ENo) >= arr.Length()) return false;
    const T& e = arr[static_cast<std::size_t>(ENo)];
    return Chunk(out, static_cast<std::int16_t>(INo / 100), static_cast<std::int16_t>(INo % 100),
                 [&](ChunkWriter& w) { q6layout::Fields(w, e); });
}

// Writes the whole document into `buf`, handing it to `flush` whenever it
// has grown large; false when the document cannot be written or flush fails.
template <class Flush>
bool WriteDocument(const TQ6Data& d, std::string& buf, Flush&& flush)
{
    bool ok = true;
    q6walk::Settings(d, [&](const q6kinds::ChunkKind& k, const auto& m) {
        ok = ok && Chunk(buf, k.id, static_cast<std::int16_t>(k.version),
                         [&](ChunkWriter& w) { q6walk::SettingsFields(w, k, m); });
    });
    if (!ok) return false;
    const std::int32_t n = d.EntN;
    if (n < 0 || static_cast<std::size_t>(n) > d.Ent.Length()) return false;
    for (std::int32_t k = 0; k < n; ++k) {
        const TQ6EntNo& en = d.Ent[static_cast<std::size_t>(k)];
        // No kind has an unknown number: nothing is written for it.
        q6walk::EntityKindOf(d, en.INo, [&](const q6kinds::ChunkKind&, const auto& arr, std::int32_t count) {
            ok = EntityChunk(buf, en.INo, arr, count, en.ENo);
        });
        if (!ok) return false;
        if (buf.size() >= (4u << 20)) {
            if (!flush(buf)) return false;
            buf.clear();
        }
    }
    return flush(buf);
}

}  // namespace

bool TQ6Data::MemOut(std::string& out) const
{
    out.clear();
    try {
        // The writer empties its buffer after each flush: collect the pieces.
        std::string buf;
        return WriteDocument(*this, buf, [&out](std::string& b) {
            out += b;
            return true;
        });
    } catch (...) {
        return false;
    }
}

bool TQ6Data::FileOut(const std::string& FName) const
{
    return ReplaceFile(FName, [this](int fd) {
        std::string buf;
        buf.reserve(8u << 20);
        // Each block written starts its way to the disk at once, so that the
        // disk works while the next block is made and the closing fsync
        // waits only for the last ones (only a hint: errors show at fsync).
        off_t at = 0;
        return WriteDocument(*this, buf, [fd, &at](std::string& b) {
            if (!WriteAll(fd, b)) return false;
            ::sync_file_range(fd, at, static_cast<off_t>(b.size()), SYNC_FILE_RANGE_WRITE);
            at += static_cast<off_t>(b.size());
            return true;
        });
    });
}
