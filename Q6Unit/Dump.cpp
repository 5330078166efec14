#include "Q6Unit/Dump.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "Q6Unit/Layout.h"
#include "Q6Unit/Q6Data.h"
#include "Q6Unit/Walk.h"

namespace {

class Dumper {
public:
    explicit Dumper(std::string& out) : out_(out) {}

    template <class T>
    void Num(const char* name, const T& x)
    {
        Key(name);
        char buf[48];
        if constexpr (std::is_floating_point_v<T>) {
            std::uint64_t bits;
            std::memcpy(&bits, &x, 8);
            std::snprintf(buf, sizeof buf, "%.17g (0x%016" PRIx64 ")\n", x, bits);
        } else if constexpr (std::is_signed_v<T>) {
            std::snprintf(buf, sizeof buf, "%lld\n", static_cast<long long>(x));
        } else {
            std::snprintf(buf, sizeof buf, "%llu\n", static_cast<unsigned long long>(x));
        }
        out_ += buf;
    }
    void Scale(const char* name, const double& x) { Num(name, x); }
    void Text(const char* name, const std::string& s, std::int32_t) { Str(name, s); }
    void VarText(const char* name, const std::string& s, std::int32_t, bool) { Str(name, s); }
    void Bytes(const char* name, const std::uint8_t* p, std::size_t n)
    {
        Key(name);
        Hex(p, n);
    }
    template <class F>
    void Nest(const char* name, F&& f)
    {
        const std::size_t at = path_.size();
        Push(name);
        f();
        path_.resize(at);
    }
    template <class F>
    void Array(const char* name, std::size_t n, F&& f)
    {
        const std::size_t at = path_.size();
        Push(name);
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t at2 = path_.size();
            path_ += "[" + std::to_string(i) + "]";
            f(i);
            path_.resize(at2);
        }
        path_.resize(at);
    }
    void Points(const char* cntName, const std::int16_t& cnt, const char* posName, const std::vector<TDPoint>& pos)
    {
        Num(cntName, cnt);
        Array(posName, pos.size(), [&](std::size_t i) {
            Num("X", pos[i].X);
            Num("Y", pos[i].Y);
        });
    }
    void CountedBytes(const char* name, const std::vector<std::uint8_t>& b, std::int32_t) { Bytes(name, b.data(), b.size()); }
    void TailBytes(const char* name, const std::vector<std::uint8_t>& b) { Bytes(name, b.data(), b.size()); }

    void Push(const char* name)
    {
        if (!name) return;
        if (!path_.empty()) path_ += '.';
        path_ += name;
    }

private:
    void Key(const char* name)
    {
        out_ += path_;
        if (name) {
            if (!path_.empty()) out_ += '.';
            out_ += name;
        }
        out_ += " = ";
    }
    void Str(const char* name, const std::string& s)
    {
        Key(name);
        out_ += '"';
        out_ += s;
        out_ += "\" ";
        Hex(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    }
    void Hex(const std::uint8_t* p, std::size_t n)
    {
        static constexpr char kHex[] = "0123456789abcdef";
        out_ += '<';
        for (std::size_t i = 0; i < n; ++i) {
            out_ += kHex[p[i] >> 4];
            out_ += kHex[p[i] & 15];
        }
        out_ += ">\n";
    }

    std::string& out_;
    std::string path_;
};

}  // namespace

std::string DumpDocument(const TQ6Data& d)
{
    using q6layout::Fields;
    std::string out;
    Dumper v(out);
    q6walk::Settings(d, [&](const q6kinds::ChunkKind& k, const auto& m) { q6walk::SettingsFields(v, k, m); });
    v.Num("EntN", d.EntN);
    for (std::int32_t k = 0; k < d.EntN && static_cast<std::size_t>(k) < d.Ent.Length(); ++k) {
        const TQ6EntNo& e = d.Ent[static_cast<std::size_t>(k)];
        char head[64];
        std::snprintf(head, sizeof head, "Ent[%d] = %d/%d\n", k, e.INo, e.ENo);
        out += head;
    }
    q6walk::EntityKinds(d, [&](const q6kinds::ChunkKind& k, const auto& arr, std::int32_t count) {
        const std::string name(k.member);
        v.Num((name + "N").c_str(), count);
        for (std::int32_t i = 0; i < count && static_cast<std::size_t>(i) < arr.Length(); ++i)
            v.Nest((name + "[" + std::to_string(i) + "]").c_str(),
                   [&] { Fields(v, arr[static_cast<std::size_t>(i)]); });
    });
    return out;
}
