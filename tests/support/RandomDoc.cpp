#include "support/RandomDoc.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <type_traits>

#include "Func_/Func_.h"
#include "Q6Unit/Layout.h"
#include "Q6Unit/Q6Data.h"
#include "Q6Unit/Walk.h"

namespace {

std::uint64_t Next(std::uint64_t& s)
{
    // splitmix64
    std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int Below(std::uint64_t& s, int n) { return n <= 0 ? 0 : static_cast<int>(Next(s) % static_cast<std::uint64_t>(n)); }

double RandomDouble(std::uint64_t& s)
{
    switch (Below(s, 12)) {
    case 0: return 0.0;
    case 1: return -0.0;
    case 2: return std::bit_cast<double>(Next(s));  // any bits: NaN payloads, subnormals, huge
    case 3: return std::bit_cast<double>(0x7FF0000000000000ull | (Next(s) & 0x000FFFFFFFFFFFFFull) | 1);  // NaN
    case 4: return Below(s, 2) ? INFINITY : -INFINITY;
    case 5: return static_cast<double>(Below(s, 2000) - 1000);
    case 6: return std::ldexp(static_cast<double>(Next(s) >> 11), Below(s, 200) - 150);
    case 7: return 1.0 / static_cast<double>(1 + Below(s, 99));
    case 8: return std::numeric_limits<double>::denorm_min() * Below(s, 1000);
    default: return (static_cast<double>(Next(s) >> 11) / 9007199254740992.0 - 0.5) * std::pow(10.0, Below(s, 12) - 3);
    }
}

template <class T>
T RandomNum(std::uint64_t& s)
{
    if constexpr (std::is_floating_point_v<T>) {
        return RandomDouble(s);
    } else {
        switch (Below(s, 4)) {
        case 0: return T{0};
        case 1: return static_cast<T>(Below(s, 10));
        default: return static_cast<T>(Next(s));
        }
    }
}

// Fills every field of a record through its field list.
class Filler : public q6layout::PlainWalk {
public:
    Filler(std::uint64_t& s, bool normalized) : s_(s), normalized_(normalized) {}

    template <class T>
    void Num(const char*, T& x)
    {
        x = RandomNum<T>(s_);
    }
    void Scale(const char*, double& x)
    {
        // Scales are stored rounded to six decimals; a normalised document holds such values.
        x = RandomDouble(s_);
        if (normalized_) x = RoundOff(x, 6, 2);
    }
    void Bytes(const char*, std::uint8_t* p, std::size_t n)
    {
        const int mode = Below(s_, 3);
        for (std::size_t i = 0; i < n; ++i) p[i] = mode == 0 ? 0 : static_cast<std::uint8_t>(Next(s_));
    }
    void Text(const char*, std::string& s, std::int32_t width) { s = RandomText(s_, normalized_ ? width : width + 8); }
    void VarText(const char*, std::string& s, std::int32_t, bool) { s = RandomText(s_, Below(s_, 4) ? 30 : 400); }
    void Points(const char*, std::int16_t& cnt, const char*, std::vector<TDPoint>& pos)
    {
        cnt = static_cast<std::int16_t>(1 + Below(s_, maxPoints));
        pos.resize(static_cast<std::size_t>(cnt));
        for (auto& p : pos) p = TDPoint{RandomDouble(s_), RandomDouble(s_)};
    }
    void CountedBytes(const char*, std::vector<std::uint8_t>& b, std::int32_t& count)
    {
        count = Below(s_, 5) == 0 ? -Below(s_, 6) : Below(s_, maxImage);
        b.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
        for (auto& c : b) c = static_cast<std::uint8_t>(Next(s_));
    }
    void TailBytes(const char*, std::vector<std::uint8_t>& b)
    {
        b.resize(static_cast<std::size_t>(Below(s_, maxImage / 2)));
        for (auto& c : b) c = static_cast<std::uint8_t>(Next(s_));
    }

    int maxPoints = 40;
    int maxImage = 600;

private:
    std::uint64_t& s_;
    bool normalized_;
};

template <class T>
void Fill(Filler& f, T& r)
{
    q6layout::Fields(f, r);
}

// A second text style that survives loading: empty and zero, or named after
// one of the document's text styles.
void FixSecondStyle(TQ6Data& d, TQ6TextStyle& e, std::uint64_t& s)
{
    const auto& t = d.txtstl[static_cast<std::size_t>(Below(s, 21))];
    if (!t.style.empty() && Below(s, 3)) {
        e.style = t.style;
        return;
    }
    e = TQ6TextStyle{};
}

template <class T>
void FixGroup(TQ6Data&, T&, std::uint64_t&)
{
}
void FixGroup(TQ6Data& d, TQ6ObjectGroupDim& e, std::uint64_t& s) { FixSecondStyle(d, e.dim.epsstl, s); }
void FixGroup(TQ6Data& d, TQ6ObjectGroupQle& e, std::uint64_t& s) { FixSecondStyle(d, e.qle.epsstl, s); }

}  // namespace

std::string RandomText(std::uint64_t& s, int maxBytes)
{
    std::string sjis;
    const int target = Below(s, maxBytes + 1);
    const int style = Below(s, 4);  // ASCII, Japanese, half-width kana, mixed
    while (static_cast<int>(sjis.size()) < target) {
        const int pick = style == 3 ? Below(s, 3) : style;
        if (pick == 0) {
            sjis += static_cast<char>(0x20 + Below(s, 0x5F));
        } else if (pick == 2) {
            sjis += static_cast<char>(0xA1 + Below(s, 0x3F));
        } else {
            if (static_cast<int>(sjis.size()) + 2 > target) break;
            switch (Below(s, 3)) {
            case 0:  // hiragana
                sjis += '\x82';
                sjis += static_cast<char>(0x9F + Below(s, 0x53));
                break;
            case 1:  // kanji
                sjis += '\x88';
                sjis += static_cast<char>(0x9F + Below(s, 0x5E));
                break;
            default:  // kanji
                sjis += '\x89';
                sjis += static_cast<char>(0x40 + Below(s, 0x3F));
                break;
            }
        }
    }
    return AnsiBytesToStr({reinterpret_cast<const std::uint8_t*>(sjis.data()), sjis.size()});
}

void RandomDocument(TQ6Data& d, std::uint64_t seed, const RandomDocOptions& opt)
{
    d.DataFree();
    std::uint64_t s = seed * 0x2545F4914F6CDD1Dull + 1;
    Filler f(s, opt.normalized);
    f.maxPoints = opt.maxPoints;
    f.maxImage = opt.maxImage;
    // The title (longer than a file holds when not normalized), then the
    // settings records in file order; the colour table's numbers are any bits.
    q6walk::Settings(d, [&](const q6kinds::ChunkKind&, auto& m) {
        using M = std::remove_cvref_t<decltype(m)>;
        if constexpr (std::is_same_v<M, std::string>) {
            m = RandomText(s, opt.normalized ? q6walk::kTitleWidth : q6walk::kTitleWidth + 44);
        } else if constexpr (requires { m.size(); }) {
            for (auto& e : m) {
                if constexpr (std::is_arithmetic_v<typename M::value_type>)
                    e = static_cast<typename M::value_type>(Next(s));
                else
                    Fill(f, e);
            }
        } else {
            Fill(f, m);
        }
    });

    for (int k = 0; k < opt.entities; ++k) {
        // Every kind in turn first, then at random.
        constexpr int kKinds = static_cast<int>(q6kinds::kEntityKindCount);
        const int kind = k < kKinds ? k : Below(s, kKinds);
        int i = 0;
#define Q6_RANDOM_KIND(a, T, cid, cver, reader)             \
    if (i++ == kind) {                                      \
        T& e = d.AddEntity(d.a, d.a##N, cid * 100 + cver); \
        Fill(f, e);                                         \
        if (opt.normalized) FixGroup(d, e, s);              \
    }
        Q6_ENTITY_KINDS(Q6_RANDOM_KIND)
#undef Q6_RANDOM_KIND
    }
}
