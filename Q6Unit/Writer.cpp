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
#include "Q6Unit/FileReplace.h"
#include "Q6Unit/Layout.h"
#include "Q6Unit/Q6Data.h"

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
    using q6layout::Fields;
    bool ok = Chunk(buf, 1000, 10, [&](ChunkWriter& w) { w.Text("Title", d.Title, 256); }) &&
              Chunk(buf, 1010, 20, [&](ChunkWriter& w) { Fields(w, d.li); }) &&
              Chunk(buf, 1020, 20, [&](ChunkWriter& w) { Fields(w, d.psz); }) &&
              Chunk(buf, 1030, 10, [&](ChunkWriter& w) { Fields(w, d.ai); }) &&
              Chunk(buf, 1040, 10, [&](ChunkWriter& w) { Fields(w, d.gi); }) &&
              Chunk(buf, 1050, 30, [&](ChunkWriter& w) { for (const auto& t : d.txtstl) Fields(w, t); }) &&
              Chunk(buf, 1060, 30, [&](ChunkWriter& w) { for (const auto& t : d.dimstl) Fields(w, t); }) &&
              Chunk(buf, 1060, 40, [&](ChunkWriter& w) { for (const auto& t : d.dimstlex) Fields(w, t); }) &&
              Chunk(buf, 1070, 20, [&](ChunkWriter& w) { Fields(w, d.symstl); }) &&
              Chunk(buf, 1080, 20, [&](ChunkWriter& w) { Fields(w, d.prnstl); }) &&
              Chunk(buf, 1085, 10, [&](ChunkWriter& w) { Fields(w, d.pri); }) &&
              Chunk(buf, 1090, 20, [&](ChunkWriter& w) { for (const auto& c : d.coltbl) w.Num(nullptr, c); }) &&
              Chunk(buf, 1100, 20, [&](ChunkWriter& w) { for (const auto& v : d.viewinfo) Fields(w, v); });
    if (!ok) return false;
    const std::int32_t n = d.EntN;
    if (n < 0 || static_cast<std::size_t>(n) > d.Ent.Length()) return false;
    for (std::int32_t k = 0; k < n; ++k) {
        const TQ6EntNo& en = d.Ent[static_cast<std::size_t>(k)];
        switch (en.INo) {
#define Q6_WRITE_CASE(a, T, cid, cver, reader) \
    case cid * 100 + cver: ok = EntityChunk(buf, en.INo, d.a, d.a##N, en.ENo); break;
            Q6_ENTITY_KINDS(Q6_WRITE_CASE)
#undef Q6_WRITE_CASE
        default: break;  // no kind has this number: nothing is written
        }
        if (!ok) return false;
        if (buf.size() >= (4u << 20)) {
            if (!flush(buf)) return false;
            buf.clear();
        }
    }
    return flush(buf);
}

}  // namespace

bool WriteAll(int fd, std::string_view buf)
{
    std::size_t done = 0;
    while (done < buf.size()) {
        const ssize_t r = ::write(fd, buf.data() + done, buf.size() - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        done += static_cast<std::size_t>(r);
    }
    return true;
}

namespace {

// Past a file-size limit (ulimit -f) the system sends SIGXFSZ, which by
// default ends the program in the middle of a save and leaves its temporary
// file behind. Ignored, the write fails with EFBIG and the save fails as on a
// full disk. A handler that the program set itself is left alone.
void IgnoreFileSizeSignal()
{
    struct sigaction old {};
    if (::sigaction(SIGXFSZ, nullptr, &old) != 0) return;
    if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) return;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
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

bool ReplaceFile(const std::string& FName, const std::function<bool(int fd)>& write)
{
    if (FName.empty()) return false;
    IgnoreFileSizeSignal();
    // Saving over a symbolic link writes the file it points to (a link whose
    // file does not exist yet creates that file).
    std::string target = FName;
    struct stat st {};
    bool exists = ::lstat(FName.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(FName.c_str(), nullptr)) {
            target = real;
            std::free(real);
        } else {
            char link[PATH_MAX];
            const ssize_t k = ::readlink(FName.c_str(), link, sizeof link);
            if (k <= 0 || static_cast<std::size_t>(k) >= sizeof link) return false;
            const std::string to(link, static_cast<std::size_t>(k));
            const std::size_t at = FName.rfind('/');
            target = to[0] == '/' || at == std::string::npos ? to : FName.substr(0, at + 1) + to;
        }
        exists = ::stat(target.c_str(), &st) == 0;
    }
    if (exists && !S_ISREG(st.st_mode)) return false;

    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    // The temporary name must stay within the system's limit on a name even
    // for a target whose own name is near it; cut at a character boundary.
    if (base.size() > 200) {
        std::size_t cut = 200;
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
        base.resize(cut);
    }

    // An existing file is replaced only where it could have been overwritten
    // in place: we may write to it, and no other program has it open under a
    // lock (a load holds a shared one while it reads). The lock is held until
    // the new file has taken its place.
    int guard = -1;
    if (exists) {
        guard = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (guard < 0) return false;
        if (::flock(guard, LOCK_EX | LOCK_NB) != 0) {
            ::close(guard);
            return false;
        }
    }

    // A new file beside the target, created exclusively and locked while it is
    // written; it replaces the target only when every byte has reached the disk.
    std::random_device rd;
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(rd()));
        tmp = dir + "." + base + suffix;
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        if (guard >= 0) ::close(guard);
        return false;
    }
    bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (ok && exists) ok = ::fchmod(fd, st.st_mode & 07777) == 0;
    if (ok) {
        try {
            ok = write(fd);
        } catch (...) {
            ok = false;
        }
    }
    if (ok) ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(tmp.c_str());
    if (guard >= 0) ::close(guard);
    return ok;
}

bool TQ6Data::FileOut(const std::string& FName) const
{
    return ReplaceFile(FName, [this](int fd) {
        std::string buf;
        buf.reserve(8u << 20);
        return WriteDocument(*this, buf, [fd](std::string& b) { return WriteAll(fd, b); });
    });
}
