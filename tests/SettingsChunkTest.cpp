// The settings chunks: where each field sits in its payload, how the readers
// use the chunk length, and what the writer makes of the fields again.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <functional>

#include "ChunkBuilder.h"
#include "Payloads.h"
#include "Q6Unit/Q6Data.h"

namespace {

using fx::Settings;
using tb::Bytes;
using tb::Cat;
using tb::Chunk;

std::span<const std::uint8_t> S(const std::string& s) { return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}; }

// The member holds exactly the payload bytes at `off`.
template <class T>
::testing::AssertionResult BytesAt(const Bytes& payload, std::size_t off, const T& member)
{
    static_assert(std::has_unique_object_representations_v<T> || std::is_floating_point_v<T> ||
                  std::is_same_v<T, TDPoint>);
    if (off + sizeof(T) > payload.size()) return ::testing::AssertionFailure() << "offset " << off << " out of range";
    if (std::memcmp(payload.b.data() + off, &member, sizeof(T)) != 0)
        return ::testing::AssertionFailure() << "member differs from the payload bytes at " << off;
    return ::testing::AssertionSuccess();
}

TEST(SettingsChunks, EveryFieldComesFromItsOffset)
{
    const Settings s(11);
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(s.File())));

    EXPECT_EQ(d.Title, "T図面");
    EXPECT_TRUE(BytesAt(s.layers, 0, d.li.current));
    for (int g = 0; g < 16; ++g) {
        SCOPED_TRACE(g);
        const auto& grp = d.li.grp[static_cast<std::size_t>(g)];
        const std::size_t go = 1 + static_cast<std::size_t>(g) * 5595;
        EXPECT_TRUE(BytesAt(s.layers, go + 0, grp.state));
        EXPECT_TRUE(BytesAt(s.layers, go + 1, grp.current));
        EXPECT_EQ(grp.text, "G" + std::to_string(g) + "図");
        EXPECT_TRUE(BytesAt(s.layers, go + 19, grp.scale));
        EXPECT_TRUE(BytesAt(s.layers, go + 27, grp.reserved));
        for (int l = 0; l < 17; ++l) {
            const auto& lay = grp.tab[static_cast<std::size_t>(l)];
            const std::size_t lo = go + 155 + static_cast<std::size_t>(l) * 320;
            EXPECT_TRUE(BytesAt(s.layers, lo + 0, lay.state));
            EXPECT_TRUE(BytesAt(s.layers, lo + 1, lay.attr));
            EXPECT_TRUE(BytesAt(s.layers, lo + 2, lay.color));
            EXPECT_TRUE(BytesAt(s.layers, lo + 6, lay.reserved));
            EXPECT_EQ(lay.text, "L" + std::to_string(g) + "-" + std::to_string(l) + "面");
            EXPECT_EQ(lay.module, "M" + std::to_string(l));
            EXPECT_TRUE(BytesAt(s.layers, lo + 284, lay.comid));
            EXPECT_TRUE(BytesAt(s.layers, lo + 288, lay.dmmy));
        }
    }

    EXPECT_TRUE(BytesAt(s.paper, 0, d.psz.typ));
    EXPECT_TRUE(BytesAt(s.paper, 1, d.psz.lout));
    EXPECT_TRUE(BytesAt(s.paper, 2, d.psz.size[0]));
    EXPECT_TRUE(BytesAt(s.paper, 18, d.psz.size[1]));

    EXPECT_TRUE(BytesAt(s.axis, 0, d.ai.mode));
    EXPECT_TRUE(BytesAt(s.axis, 4, d.ai.angle));
    EXPECT_TRUE(BytesAt(s.axis, 12, d.ai.reserved));

    EXPECT_TRUE(BytesAt(s.grid, 0, d.gi.org));
    EXPECT_TRUE(BytesAt(s.grid, 16, d.gi.spc));
    EXPECT_TRUE(BytesAt(s.grid, 32, d.gi.dv.X));
    EXPECT_TRUE(BytesAt(s.grid, 36, d.gi.dv.Y));
    const std::int32_t* gridInts[] = {&d.gi.disp, &d.gi.snapmain, &d.gi.snapsub, &d.gi.typ,
                                      &d.gi.angle, &d.gi.ind, &d.gi.abs, &d.gi.top};
    for (std::size_t k = 0; k < 8; ++k) EXPECT_TRUE(BytesAt(s.grid, 40 + 4 * k, *gridInts[k])) << k;
    EXPECT_TRUE(BytesAt(s.grid, 72, d.gi.reserved));

    for (int i = 0; i < 21; ++i) {
        SCOPED_TRACE(i);
        const auto& t = d.txtstl[static_cast<std::size_t>(i)];
        const std::size_t o = static_cast<std::size_t>(i) * 110;
        EXPECT_EQ(t.style, "S" + std::to_string(i) + "あ");
        EXPECT_EQ(t.font, "F" + std::to_string(i) + "い");
        EXPECT_TRUE(BytesAt(s.styles, o + 50, t.hight));
        EXPECT_TRUE(BytesAt(s.styles, o + 58, t.width));
        EXPECT_TRUE(BytesAt(s.styles, o + 66, t.spce));
        EXPECT_TRUE(BytesAt(s.styles, o + 74, t.ofset));
        EXPECT_TRUE(BytesAt(s.styles, o + 90, t.penno));
        EXPECT_TRUE(BytesAt(s.styles, o + 91, t.txattr));
        EXPECT_TRUE(BytesAt(s.styles, o + 92, t.lfCharSet));
        EXPECT_TRUE(BytesAt(s.styles, o + 93, t.lfPitchAndFamily));
        EXPECT_TRUE(BytesAt(s.styles, o + 94, t.reserved));
        EXPECT_TRUE(BytesAt(s.styles, o + 106, t.count));
    }
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        const auto& t = d.dimstl[static_cast<std::size_t>(i)];
        const std::size_t o = static_cast<std::size_t>(i) * 73;
        EXPECT_EQ(t.style, "D" + std::to_string(i));
        EXPECT_TRUE(BytesAt(s.dims, o + 16, t.txtstlno));
        EXPECT_TRUE(BytesAt(s.dims, o + 20, t.dlen));
        EXPECT_TRUE(BytesAt(s.dims, o + 28, t.xlen));
        EXPECT_TRUE(BytesAt(s.dims, o + 36, t.tlen));
        EXPECT_TRUE(BytesAt(s.dims, o + 44, t.pen));
        EXPECT_TRUE(BytesAt(s.dims, o + 45, t.term));
        EXPECT_TRUE(BytesAt(s.dims, o + 46, t.dmmy));
        EXPECT_TRUE(BytesAt(s.dims, o + 49, t.elen));
        EXPECT_TRUE(BytesAt(s.dims, o + 57, t.reserved));
    }
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(BytesAt(s.dimex, 78 * i, d.dimstlex[i].value));
        EXPECT_TRUE(BytesAt(s.dimex, 78 * i + 8, d.dimstlex[i].set));
        EXPECT_TRUE(BytesAt(s.dimex, 78 * i + 15, d.dimstlex[i].reserved));
    }
    EXPECT_TRUE(BytesAt(s.symbol, 0, d.symstl.current_pstl));
    EXPECT_TRUE(BytesAt(s.symbol, 1, d.symstl.current_astl));
    EXPECT_TRUE(BytesAt(s.symbol, 2, d.symstl.reserved));
    for (std::size_t i = 0; i < 22; ++i) {
        const std::size_t o = 10 + 52 * i;
        EXPECT_TRUE(BytesAt(s.symbol, o, d.symstl.form[i].d1)) << i;
        EXPECT_TRUE(BytesAt(s.symbol, o + 8, d.symstl.form[i].d2)) << i;
        EXPECT_TRUE(BytesAt(s.symbol, o + 16, d.symstl.form[i].pen)) << i;
        EXPECT_TRUE(BytesAt(s.symbol, o + 20, d.symstl.form[i].reserved)) << i;
    }
    for (std::size_t i = 0; i < 16; ++i) {
        const std::size_t o = 48 * i;
        EXPECT_TRUE(BytesAt(s.print, o, d.prnstl.ltype[i].typ)) << i;
        EXPECT_TRUE(BytesAt(s.print, o + 4, d.prnstl.ltype[i].cnt)) << i;
        EXPECT_TRUE(BytesAt(s.print, o + 8, d.prnstl.ltype[i].seg)) << i;
        EXPECT_TRUE(BytesAt(s.print, 768 + 4 * i, d.prnstl.width[i])) << i;
    }
    EXPECT_TRUE(BytesAt(s.info, 0, d.pri.ind));
    EXPECT_TRUE(BytesAt(s.info, 1, d.pri.base));
    EXPECT_TRUE(BytesAt(s.info, 2, d.pri.area));
    EXPECT_TRUE(BytesAt(s.info, 3, d.pri.dmmy));
    EXPECT_TRUE(BytesAt(s.info, 4, d.pri.pos));
    EXPECT_TRUE(BytesAt(s.info, 20, d.pri.reserved));
    EXPECT_TRUE(BytesAt(s.colours, 0, d.coltbl));
    for (int i = 0; i < 32; ++i) {
        SCOPED_TRACE(i);
        const auto& v = d.viewinfo[static_cast<std::size_t>(i)];
        const std::size_t o = static_cast<std::size_t>(i) * 325;
        EXPECT_EQ(v.name, "V" + std::to_string(i) + "図");
        EXPECT_TRUE(BytesAt(s.views, o + 17, v.zoom));
        EXPECT_TRUE(BytesAt(s.views, o + 25, v.ofset.X));
        EXPECT_TRUE(BytesAt(s.views, o + 29, v.ofset.Y));
        EXPECT_TRUE(BytesAt(s.views, o + 33, v.color));
        EXPECT_TRUE(BytesAt(s.views, o + 37, v.penno));
        EXPECT_TRUE(BytesAt(s.views, o + 41, v.ltype));
        EXPECT_TRUE(BytesAt(s.views, o + 45, v.grp));
        EXPECT_TRUE(BytesAt(s.views, o + 317, v.dummy));
    }
}

// Reserved blocks, noise in every number (NaN payloads included) and texts
// that fit their fields: loading and saving gives back every byte.
TEST(SettingsChunks, ReadThenWriteGivesBackEveryByte)
{
    for (std::uint64_t seed = 1; seed <= 5; ++seed) {
        SCOPED_TRACE(seed);
        const auto file = Settings(seed).File();
        ASSERT_EQ(file.size(), 107797u);
        TQ6Data d;
        ASSERT_TRUE(d.MemIn(tb::Span(file)));
        std::string out;
        ASSERT_TRUE(d.MemOut(out));
        ASSERT_EQ(out.size(), file.size());
        for (std::size_t i = 0; i < out.size(); ++i)
            ASSERT_EQ(static_cast<std::uint8_t>(out[i]), file[i]) << "first difference at byte " << i;
    }
}

// A text field that its text fills completely has no zero byte; the value is
// exactly the field's bytes, and no byte of the next field joins it.
TEST(SettingsChunks, TextFieldsFilledToTheirWidthReadBackWhole)
{
    struct Case {
        const char* name;
        std::int16_t id;
        std::uint16_t version;
        std::size_t offset;  // of the field in the payload
        std::size_t width;
        std::function<std::string(const TQ6Data&)> value;
    };
    const Case cases[] = {
        {"group name", 1010, 20, 1 + 2, 17, [](const TQ6Data& d) { return d.li.grp[0].text; }},
        {"last group name", 1010, 20, 1 + 15 * 5595 + 2, 17, [](const TQ6Data& d) { return d.li.grp[15].text; }},
        {"layer name", 1010, 20, 1 + 155 + 10, 257, [](const TQ6Data& d) { return d.li.grp[0].tab[0].text; }},
        {"layer module", 1010, 20, 1 + 155 + 267, 17, [](const TQ6Data& d) { return d.li.grp[0].tab[0].module; }},
        {"style name", 1050, 30, 110 + 0, 17, [](const TQ6Data& d) { return d.txtstl[1].style; }},
        {"font name", 1050, 30, 110 + 17, 33, [](const TQ6Data& d) { return d.txtstl[1].font; }},
        {"dimension style name", 1060, 30, 73 + 0, 16, [](const TQ6Data& d) { return d.dimstl[1].style; }},
        {"view mark name", 1100, 20, 325 + 0, 17, [](const TQ6Data& d) { return d.viewinfo[1].name; }},
    };
    const Settings base(3);
    for (const auto& c : cases) {
        for (int variant : {0, 1, 2}) {
            // 0: single-byte text; 1: double-byte text, with one single-byte
            // character where the width is odd; 2: a lead byte in the last
            // place, whose trail byte would be the first byte after the field.
            // The byte after the field is never zero.
            SCOPED_TRACE(std::string(c.name) + " variant " + std::to_string(variant));
            std::string text;
            std::string want;
            char after = 'N';
            if (variant == 0) {
                text = want = std::string(c.width, 'x');
            } else if (variant == 1) {
                text = fx::Rep(fx::kZu, static_cast<int>(c.width / 2)) + (c.width % 2 ? "Q" : "");
                want = fx::Rep("図", static_cast<int>(c.width / 2)) + (c.width % 2 ? "Q" : "");
            } else {
                text = std::string(c.width - 1, 'y') + "\x90";
                want = std::string(c.width - 1, 'y') + "\xEF\xBF\xBD";  // U+FFFD
                after = '\x7D';
            }
            ASSERT_EQ(text.size(), c.width);
            Bytes* payload = nullptr;
            Settings s = base;
            switch (c.id) {
            case 1010: payload = &s.layers; break;
            case 1050: payload = &s.styles; break;
            case 1060: payload = &s.dims; break;
            default: payload = &s.views; break;
            }
            std::memcpy(payload->b.data() + c.offset, text.data(), c.width);
            payload->b[c.offset + c.width] = static_cast<std::uint8_t>(after);
            TQ6Data d;
            ASSERT_TRUE(d.MemIn(tb::Span(s.File())));
            EXPECT_EQ(c.value(d), want);
            if (variant == 2) continue;  // an invalid byte does not come back as it was
            // Saved again, the field is the same bytes.
            std::string out;
            ASSERT_TRUE(d.MemOut(out));
            const std::size_t at = fx::PayloadAt(out, c.id, c.version);
            ASSERT_NE(at, std::string::npos);
            EXPECT_EQ(out.substr(at + c.offset, c.width), text);
        }
    }
}

// Saving cuts a text to its field without splitting a double-byte character.
TEST(SettingsChunks, LongTextsAreCutAtACharacterBoundary)
{
    struct Case {
        const char* name;
        std::int16_t id;
        std::uint16_t version;
        std::size_t offset;
        std::size_t width;
        std::function<std::string&(TQ6Data&)> member;
    };
    const Case cases[] = {
        {"title", 1000, 10, 0, 256, [](TQ6Data& d) -> std::string& { return d.Title; }},
        {"group name", 1010, 20, 1 + 5595 + 2, 17, [](TQ6Data& d) -> std::string& { return d.li.grp[1].text; }},
        {"layer name", 1010, 20, 1 + 155 + 320 + 10, 257, [](TQ6Data& d) -> std::string& { return d.li.grp[0].tab[1].text; }},
        {"layer module", 1010, 20, 1 + 155 + 267, 17, [](TQ6Data& d) -> std::string& { return d.li.grp[0].tab[0].module; }},
        {"style name", 1050, 30, 2 * 110, 17, [](TQ6Data& d) -> std::string& { return d.txtstl[2].style; }},
        {"font name", 1050, 30, 20 * 110 + 17, 33, [](TQ6Data& d) -> std::string& { return d.txtstl[20].font; }},
        {"dimension style name", 1060, 30, 19 * 73, 16, [](TQ6Data& d) -> std::string& { return d.dimstl[19].style; }},
        {"view mark name", 1100, 20, 31 * 325, 17, [](TQ6Data& d) -> std::string& { return d.viewinfo[31].name; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int w = static_cast<int>(c.width);
        struct Text {
            std::string utf8;
            std::string field;   // the saved bytes, zero-filled to the width
            std::string loaded;  // the text loaded back from them
        };
        auto pad = [&](std::string b) {
            b.resize(c.width, '\0');
            return b;
        };
        const Text texts[] = {
            // A double-byte character would straddle the end: dropped whole.
            {std::string(c.width - 1, 'a') + "図", pad(std::string(c.width - 1, 'a')), std::string(c.width - 1, 'a')},
            // Exactly the width: no zero byte.
            {std::string(c.width - 2, 'b') + "図", std::string(c.width - 2, 'b') + std::string(fx::kZu),
             std::string(c.width - 2, 'b') + "図"},
            {fx::Rep("面", w / 2 + 3), pad(fx::Rep(fx::kMen, w / 2)), fx::Rep("面", w / 2)},
            {std::string(c.width + 5, 'c'), std::string(c.width, 'c'), std::string(c.width, 'c')},
        };
        for (const auto& t : texts) {
            TQ6Data d;
            c.member(d) = t.utf8;
            std::string out;
            ASSERT_TRUE(d.MemOut(out));
            EXPECT_EQ(c.member(d), t.utf8) << "saving changes the document";
            const std::size_t at = fx::PayloadAt(out, c.id, c.version);
            ASSERT_NE(at, std::string::npos);
            EXPECT_EQ(out.substr(at + c.offset, c.width), t.field);
            TQ6Data back;
            ASSERT_TRUE(back.MemIn(S(out)));
            EXPECT_EQ(c.member(back), t.loaded);
        }
    }
}

TEST(SettingsChunks, GroupScalesAreRoundedToSixDecimalsOnSaving)
{
    struct Case {
        double scale;
        double saved;
    };
    const Case cases[] = {
        {1.0 / 3, 0.333333},      {2.0 / 3, 0.666667},         {1.23456789, 1.234568},
        {-2.0000006, -2.000001},  {1.0, 1.0},                  {0.125, 0.125},
        {0.333333333333, 0.333333}, {0.0000005, 0.000001},     {-0.0000004, 0.0},
        {123456.7890125, 123456.789013},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scale);
        TQ6Data d;
        for (auto& g : d.li.grp) g.scale = c.scale;
        std::string out;
        ASSERT_TRUE(d.MemOut(out));
        const std::size_t at = fx::PayloadAt(out, 1010, 20);
        for (std::size_t g = 0; g < 16; ++g) {
            const double v = tb::ReadF64(out, at + 1 + g * 5595 + 19);
            EXPECT_EQ(std::bit_cast<std::uint64_t>(v), std::bit_cast<std::uint64_t>(c.saved)) << v;
        }
        EXPECT_EQ(d.li.grp[0].scale, c.scale) << "the document keeps its own scale";
    }
}

// Readers that always read their full size go on into the next chunk's bytes
// when the length is short; the pass still finds the next chunk by the length.
TEST(SettingsChunks, FixedSizeReadersIgnoreTheLength)
{
    struct Case {
        const char* name;
        std::int16_t id;
        std::uint16_t version;
        std::int32_t length;  // payload bytes before the next chunk
        std::size_t offset;   // of the checked field, beyond the short payload
        std::function<std::span<const std::uint8_t>(const TQ6Data&)> field;
    };
    auto bytesOf = [](const auto& m) {
        return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(&m), sizeof m);
    };
    const Case cases[] = {
        {"layer table", 1010, 20, 4, 1 + 19, [&](const TQ6Data& d) { return bytesOf(d.li.grp[0].scale); }},
        {"layer table, second group", 1010, 20, 0, 1 + 5595 + 27, [&](const TQ6Data& d) { return bytesOf(d.li.grp[1].reserved); }},
        {"paper", 1020, 20, 2, 18, [&](const TQ6Data& d) { return bytesOf(d.psz.size[1]); }},
        {"axis", 1030, 10, 0, 12, [&](const TQ6Data& d) { return bytesOf(d.ai.reserved); }},
        {"text styles", 1050, 30, 17, 110 + 50, [&](const TQ6Data& d) { return bytesOf(d.txtstl[1].hight); }},
        {"dimension styles", 1060, 30, 16, 73 + 20, [&](const TQ6Data& d) { return bytesOf(d.dimstl[1].dlen); }},
        {"view marks", 1100, 20, 17, 325 + 17, [&](const TQ6Data& d) { return bytesOf(d.viewinfo[1].zoom); }},
    };
    const Bytes after = fx::Seq(20000, 7);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = Cat({tb::Title(), Chunk(c.id, c.version, fx::Seq(static_cast<std::size_t>(c.length), 100)),
                               Chunk(1234, 1, after), Chunk(1085, 10, Bytes().u8(9).zeros(83))});
        TQ6Data d;
        ASSERT_TRUE(d.MemIn(tb::Span(file)));
        // The field's bytes are those after the short payload and the 8-byte header that follows it.
        const std::size_t from = c.offset - static_cast<std::size_t>(c.length) - 8;
        const auto got = c.field(d);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), after.b.begin() + static_cast<std::ptrdiff_t>(from)));
        EXPECT_EQ(d.pri.ind, 9) << "the pass goes on at the chunk after the short one";
    }
}

TEST(SettingsChunks, ALayerChunkWithAWrongLengthIsStillReadWhole)
{
    const Settings s(5);
    // Longer than the table: the next chunk is found by the length.
    {
        Bytes longer = s.layers;
        longer.fill(300, 0xEE);
        const auto file = Cat({tb::Title(), Chunk(1010, 20, longer), Chunk(1020, 20, s.paper)});
        TQ6Data d;
        ASSERT_TRUE(d.MemIn(tb::Span(file)));
        EXPECT_EQ(d.li.grp[15].tab[16].text, "L15-16面");
        EXPECT_TRUE(BytesAt(s.layers, 89521 - 32, d.li.grp[15].tab[16].dmmy));
        EXPECT_TRUE(BytesAt(s.paper, 2, d.psz.size[0]));
    }
    // Shorter: the reader takes the next chunk's header and payload as layer
    // fields; fields that the end of the file does not reach keep their values.
    {
        const auto file = Cat({tb::Title(), Chunk(1010, 20, Bytes().u8(7)), Chunk(1020, 20, s.paper)});
        TQ6Data d;
        ASSERT_TRUE(d.MemIn(tb::Span(file)));
        EXPECT_EQ(d.li.current, 7);
        EXPECT_EQ(d.li.grp[0].state, 0xFC);  // 1020 = 0x03FC
        EXPECT_EQ(d.li.grp[0].current, 0x03);
        EXPECT_EQ(d.li.grp[1].state, 2);
        EXPECT_EQ(d.li.grp[15].tab[16].state, 2);
        EXPECT_TRUE(BytesAt(s.paper, 0, d.psz.typ));
        EXPECT_TRUE(BytesAt(s.paper, 18, d.psz.size[1]));
    }
}

// Chunks that are a record's byte image: a shorter one replaces the first
// bytes only; a longer one fills the record and the rest is ignored.
TEST(SettingsChunks, RawImageChunksOfOtherLengths)
{
    struct Case {
        const char* name;
        std::int16_t id;
        std::uint16_t version;
        std::size_t size;  // of the record
        std::size_t length;
    };
    const Case cases[] = {
        {"grid, 72 bytes: org to top", 1040, 10, 180, 72},
        {"grid, 0 bytes", 1040, 10, 180, 0},
        {"grid, 200 bytes", 1040, 10, 180, 200},
        {"common dimension style, 8 bytes", 1060, 40, 234, 8},
        {"common dimension style, 300 bytes", 1060, 40, 234, 300},
        {"symbol style, 10 bytes: both numbers and the reserved bytes", 1070, 20, 1154, 10},
        {"symbol style, 1200 bytes", 1070, 20, 1154, 1200},
        {"print style, 50 bytes", 1080, 20, 832, 50},
        {"print style, 900 bytes", 1080, 20, 832, 900},
        {"print information, 3 bytes", 1085, 10, 84, 3},
        {"print information, 100 bytes", 1085, 10, 84, 100},
        {"colour table, 64 bytes: the first row", 1090, 20, 1088, 64},
        {"colour table, 0 bytes", 1090, 20, 1088, 0},
        {"colour table, 1100 bytes", 1090, 20, 1088, 1100},
    };
    // The record is compared through the saved file, which holds its disk form.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes first = fx::Noise{17}.bytes(c.size);
        const Bytes second = fx::Noise{23}.bytes(c.length);
        const auto file = Cat({tb::Title(), Chunk(c.id, c.version, first), Chunk(c.id, c.version, second),
                               Chunk(1085 == c.id ? 1020 : 1085, 1085 == c.id ? 20 : 10, Bytes().u8(9).zeros(83))});
        TQ6Data d;
        ASSERT_TRUE(d.MemIn(tb::Span(file)));
        if (c.id == 1085)
            EXPECT_EQ(d.psz.typ, 9);
        else
            EXPECT_EQ(d.pri.ind, 9);
        std::string out;
        ASSERT_TRUE(d.MemOut(out));
        const std::size_t at = fx::PayloadAt(out, c.id, c.version);
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(tb::ReadI32(out, at - 4), static_cast<std::int32_t>(c.size));
        tb::Buf want = first.b;
        std::copy_n(second.b.begin(), std::min(c.length, c.size), want.begin());
        EXPECT_EQ(out.substr(at, c.size), fx::Str(want));
    }
}

// A field that the end of the file cuts keeps the bytes that were read and
// its earlier value for the rest; fields beyond keep their earlier values.
TEST(SettingsChunks, TheEndOfTheFileCutsAFieldInTheMiddle)
{
    const Settings s(9);
    {
        Bytes cut;
        cut.raw("xy");
        auto file = Cat({tb::Title(), Chunk(1100, 20, s.views), Chunk(1100, 20, cut, 10400)});
        TQ6Data d;
        ASSERT_TRUE(d.MemIn(tb::Span(file)));
        EXPECT_EQ(d.viewinfo[0].name, "xy図");  // "V0図" with its first two bytes replaced
        EXPECT_TRUE(BytesAt(s.views, 17, d.viewinfo[0].zoom));
        EXPECT_EQ(d.viewinfo[31].name, "V31図");
    }
    {
        Bytes cut;
        cut.u8(1).u8(2).raw("\xAA\xBB\xCC");
        auto file = Cat({tb::Title(), Chunk(1020, 20, s.paper), Chunk(1020, 20, cut, 34)});
        TQ6Data d;
        ASSERT_TRUE(d.MemIn(tb::Span(file)));
        EXPECT_EQ(d.psz.typ, 1);
        EXPECT_EQ(d.psz.lout, 2);
        Bytes want = s.paper;
        want.b[2] = 0xAA;
        want.b[3] = 0xBB;
        want.b[4] = 0xCC;
        EXPECT_TRUE(BytesAt(want, 2, d.psz.size[0].X));
        EXPECT_TRUE(BytesAt(s.paper, 18, d.psz.size[1]));
    }
    {
        // A number cut by the end of a raw-image chunk's length.
        Bytes cut;
        cut.u8(0x11).u8(0x22);
        auto file = Cat({tb::Title(), Chunk(1090, 20, s.colours), Chunk(1090, 20, cut)});
        TQ6Data d;
        ASSERT_TRUE(d.MemIn(tb::Span(file)));
        Bytes want = s.colours;
        want.b[0] = 0x11;
        want.b[1] = 0x22;
        EXPECT_TRUE(BytesAt(want, 0, d.coltbl));
    }
}

TEST(SettingsChunks, BothDimensionChunksLoadAndOtherVersionsAreSkipped)
{
    const Settings s(4);
    const auto file = Cat({tb::Title(), Chunk(1060, 40, s.dimex), Chunk(1060, 50, fx::Seq(1460)),
                           Chunk(1060, 30, s.dims), Chunk(1060, 20, fx::Seq(234))});
    TQ6Data d;
    ASSERT_TRUE(d.MemIn(tb::Span(file)));
    EXPECT_EQ(d.dimstl[7].style, "D7");
    EXPECT_TRUE(BytesAt(s.dims, 7 * 73 + 49, d.dimstl[7].elen));
    for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(BytesAt(s.dimex, 78 * i + 8, d.dimstlex[i].set)) << i;
}

}  // namespace
