#include "Q6Unit/Dump.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "Q6Unit/Layout.h"
#include "Q6Unit/Q6Data.h"

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
    v.Text("Title", d.Title, 256);
    v.Nest("li", [&] { Fields(v, d.li); });
    v.Nest("psz", [&] { Fields(v, d.psz); });
    v.Nest("ai", [&] { Fields(v, d.ai); });
    v.Nest("gi", [&] { Fields(v, d.gi); });
    v.Array("txtstl", d.txtstl.size(), [&](std::size_t i) { Fields(v, d.txtstl[i]); });
    v.Array("dimstl", d.dimstl.size(), [&](std::size_t i) { Fields(v, d.dimstl[i]); });
    v.Array("dimstlex", d.dimstlex.size(), [&](std::size_t i) { Fields(v, d.dimstlex[i]); });
    v.Nest("symstl", [&] { Fields(v, d.symstl); });
    v.Nest("prnstl", [&] { Fields(v, d.prnstl); });
    v.Nest("pri", [&] { Fields(v, d.pri); });
    v.Array("coltbl", d.coltbl.size(), [&](std::size_t i) { v.Num(nullptr, d.coltbl[i]); });
    v.Array("viewinfo", d.viewinfo.size(), [&](std::size_t i) { Fields(v, d.viewinfo[i]); });
    v.Num("EntN", d.EntN);
    for (std::int32_t k = 0; k < d.EntN && static_cast<std::size_t>(k) < d.Ent.Length(); ++k) {
        const TQ6EntNo& e = d.Ent[static_cast<std::size_t>(k)];
        char head[64];
        std::snprintf(head, sizeof head, "Ent[%d] = %d/%d\n", k, e.INo, e.ENo);
        out += head;
    }
#define Q6_DUMP_KIND(a, T, cid, cver, reader)                                                        \
    v.Num(#a "N", d.a##N);                                                                            \
    for (std::int32_t i = 0; i < d.a##N && static_cast<std::size_t>(i) < d.a.Length(); ++i)          \
        v.Nest((std::string(#a "[") + std::to_string(i) + "]").c_str(),                                \
               [&] { Fields(v, d.a[static_cast<std::size_t>(i)]); });
    Q6_ENTITY_KINDS(Q6_DUMP_KIND)
#undef Q6_DUMP_KIND
    return out;
}
