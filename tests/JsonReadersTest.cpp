// The import's two readers side by side: the quick one takes only the
// export's own form; whatever it takes, the checking reader reads to the same
// document, and on whatever it declines, ImportJson gives the checking
// reader's answer, its error message included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Q6Json/FastImport.h"
#include "Q6Json/Json.h"
#include "Q6Unit/Q6Data.h"
#include "support/RandomDoc.h"

namespace {

struct Outcome {
    bool ok = false;
    std::string error;
    std::vector<std::string> warnings;
    std::string saved;  // the document's bytes, when it was built
};

Outcome Checked(const std::string& text)
{
    Outcome o;
    TQ6Data d;
    o.ok = q6json::ImportJsonChecked(text, d, o.error, &o.warnings);
    if (o.ok) {
        EXPECT_TRUE(d.MemOut(o.saved));
    }
    return o;
}

Outcome Combined(const std::string& text)
{
    Outcome o;
    TQ6Data d;
    o.ok = ImportJson(text, d, o.error, &o.warnings);
    if (o.ok) {
        EXPECT_TRUE(d.MemOut(o.saved));
    }
    return o;
}

enum class Fast { Takes, Declines, Either };

// Compares the readers on `text`; returns whether the quick one took it.
bool Compare(const std::string& text)
{
    const Outcome c = Checked(text);
    const Outcome all = Combined(text);
    EXPECT_EQ(all.ok, c.ok);
    EXPECT_EQ(all.error, c.error);
    EXPECT_EQ(all.warnings, c.warnings);
    EXPECT_TRUE(all.saved == c.saved) << "ImportJson built another document than the checking reader";
    TQ6Data d;
    const bool fast = q6json::ImportExportForm(text, d);
    if (fast) {
        EXPECT_TRUE(c.ok) << "the quick reader took what the checking one refuses: " << c.error;
        EXPECT_TRUE(c.warnings.empty()) << "the quick reader took a text the checking one warns about";
        std::string saved;
        EXPECT_TRUE(d.MemOut(saved));
        EXPECT_TRUE(saved == c.saved) << "the quick reader built another document";
    }
    return fast;
}

// A small document whose export holds the values the cases change.
TQ6Data Fixture()
{
    TQ6Data d;
    d.DataFree();
    d.Title = "T";
    TQ6ObjectPoint& p = d.AddEntity(d.pt, d.ptN, 200120);
    p.obj.id = 7;
    p.obj.color = 255;
    p.pos = {1.5, 2};
    TQ6ObjectText& t = d.AddEntity(d.tx, d.txN, 200720);
    t.text = "abc";
    t.angle = 0.25;
    TQ6ObjectBitmap& b = d.AddEntity(d.bm, d.bmN, 201890);
    b.byt = 3;
    b.bmp = {1, 2, 0xab};
    TQ6ObjectBezier& l = d.AddEntity(d.pl, d.plN, 200820);
    l.cnt = 2;
    l.pos = {{0, 0}, {3, 4}};
    return d;
}

std::string Export(const TQ6Data& d)
{
    std::string j;
    EXPECT_TRUE(ExportJson(d, j));
    return j;
}

// `text` with the first `from` replaced by `to`.
std::string Sub(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

struct Case {
    const char* what;
    std::string from, to;  // the first `from` of the fixture's export becomes `to`
    Fast fast;
};

TEST(JsonReaders, AgreeOnEveryChangeOfTheExportsForm)
{
    const std::string base = Export(Fixture());
    ASSERT_NE(base.find("\"X\": 1.5, \"Y\": 2}"), std::string::npos) << base.substr(0, 2000);
    const std::string x = "\"X\": 1.5";
    const std::string color = "\"color\": 255";
    const std::string title = "\"Title\": \"T\"";
    const std::string deep = std::string(500, '[') + std::string(500, ']');
    const Case cases[] = {
        {"the export itself", x, x, Fast::Takes},
        // numbers
        {"-0 for a double is zero", x, "\"X\": -0", Fast::Takes},
        {"-0.0 is negative zero", x, "\"X\": -0.0", Fast::Takes},
        {"-0 for an integer", color, "\"color\": -0", Fast::Takes},
        {"1e400", x, "\"X\": 1e400", Fast::Either},
        {"-1e400", x, "\"X\": -1e400", Fast::Either},
        {"1e-400", x, "\"X\": 1e-400", Fast::Either},
        {"-1e-400", x, "\"X\": -1e-400", Fast::Either},
        {"the least subnormal", x, "\"X\": 5e-324", Fast::Takes},
        {"the greatest double", x, "\"X\": 1.7976931348623157e+308", Fast::Takes},
        {"a double of 21 digits", x, "\"X\": 123456789012345680000", Fast::Either},
        {"a huge integer for a double", x, "\"X\": 123456789012345678901234567890", Fast::Either},
        {"2^64 - 1 for a double", x, "\"X\": 18446744073709551615", Fast::Takes},
        {"-2^63 - 1 for a double", x, "\"X\": -9223372036854775809", Fast::Either},
        {"a leading zero", x, "\"X\": 01.5", Fast::Declines},
        {"a lone minus", x, "\"X\": -", Fast::Declines},
        {"a Cardinal's greatest", color, "\"color\": 4294967295", Fast::Takes},
        {"a Cardinal past its range", color, "\"color\": 4294967296", Fast::Declines},
        {"a negative Cardinal", color, "\"color\": -1", Fast::Declines},
        {"a huge integer", color, "\"color\": 99999999999999999999999", Fast::Declines},
        {"1.0 for an integer", color, "\"color\": 1.0", Fast::Declines},
        {"1e2 for an integer", color, "\"color\": 1e2", Fast::Declines},
        {"a Byte past its range", "\"style\": 0", "\"style\": 256", Fast::Declines},
        // structure
        {"a last comma in an object", "\"Y\": 2}", "\"Y\": 2,}", Fast::Declines},
        {"a last comma in an array", "\"pos\": [{\"X\": 0, \"Y\": 0}, {\"X\": 3, \"Y\": 4}]",
         "\"pos\": [{\"X\": 0, \"Y\": 0}, {\"X\": 3, \"Y\": 4},]", Fast::Declines},
        {"a last comma in the entity list", "}\n  ]\n}\n", "},\n  ]\n}\n", Fast::Declines},
        {"a missing bracket of the list", "}\n  ]\n}\n", "}\n}\n", Fast::Declines},
        {"a missing brace of an entity", "\"Y\": 2}}", "\"Y\": 2}", Fast::Declines},
        {"the last brace missing", "}\n  ]\n}\n", "}\n  ]\n", Fast::Declines},
        {"text after the document", "}\n  ]\n}\n", "}\n  ]\n}\n{}", Fast::Declines},
        {"no last line break", "}\n  ]\n}\n", "}\n  ]\n}", Fast::Declines},
        {"a missing comma", "\"X\": 1.5, ", "\"X\": 1.5 ", Fast::Declines},
        {"a duplicate key", "\"Y\": 2}", "\"Y\": 2, \"Y\": 2}", Fast::Declines},
        {"a duplicate entity list", "\"entities\": [", "\"entities\": [],\n  \"entities\": [", Fast::Declines},
        {"an unknown key", "\"Y\": 2}", "\"Y\": 2, \"Z\": 0}", Fast::Declines},
        {"a field left out", "\"X\": 1.5, ", "", Fast::Declines},
        {"fields in another order", "\"X\": 1.5, \"Y\": 2", "\"Y\": 2, \"X\": 1.5", Fast::Declines},
        {"an escaped key", x, "\"\\u0058\": 1.5", Fast::Declines},
        {"deep nesting", x, "\"X\": " + deep, Fast::Declines},
        {"a byte order mark", "{\n", "\xEF\xBB\xBF{\n", Fast::Declines},
        {"a carriage return among the settings", "\n  \"format\"", "\r\n  \"format\"", Fast::Takes},
        {"carriage returns in the entity list", "}\n  ]\n}\n", "}\r\n  ]\r\n}\r\n", Fast::Declines},
        {"an unknown kind", "\"kind\": \"pt\"", "\"kind\": \"point\"", Fast::Declines},
        {"another identifier", "\"id\": 2001", "\"id\": 2002", Fast::Declines},
        {"another format", "\"format\": 1", "\"format\": 2", Fast::Declines},
        // types
        {"a string for a number", x, "\"X\": \"1.5\"", Fast::Declines},
        {"true for a number", x, "\"X\": true", Fast::Declines},
        {"null for a number", x, "\"X\": null", Fast::Declines},
        {"an array for a number", x, "\"X\": [1.5]", Fast::Declines},
        {"an object for a number", x, "\"X\": {}", Fast::Declines},
        {"a number for a text", title, "\"Title\": 1", Fast::Declines},
        {"an array for a record", "\"pos\": {\"X\": 1.5, \"Y\": 2}", "\"pos\": [1.5, 2]", Fast::Declines},
        // the texts for doubles
        {"inf", x, "\"X\": \"inf\"", Fast::Takes},
        {"-inf", x, "\"X\": \"-inf\"", Fast::Takes},
        {"a NaN", x, "\"X\": \"nan:0x7ff8000000000001\"", Fast::Takes},
        {"a NaN in capitals", x, "\"X\": \"nan:0x7FF8000000000001\"", Fast::Takes},
        {"the bits of a number as a NaN", x, "\"X\": \"nan:0x3ff0000000000000\"", Fast::Declines},
        {"nan", x, "\"X\": \"nan\"", Fast::Declines},
        {"NaN", x, "\"X\": \"NaN\"", Fast::Declines},
        {"Infinity", x, "\"X\": \"Infinity\"", Fast::Declines},
        {"a bare NaN", x, "\"X\": NaN", Fast::Declines},
        {"an escape in inf", x, "\"X\": \"\\u0069nf\"", Fast::Declines},
        // texts
        {"a raw tab", title, "\"Title\": \"T\tx\"", Fast::Declines},
        {"a raw U+0001", title, "\"Title\": \"T\x01x\"", Fast::Declines},
        {"a raw line break", title, "\"Title\": \"T\nx\"", Fast::Declines},
        {"a raw DEL", title, "\"Title\": \"T\x7Fx\"", Fast::Takes},
        {"escapes", title, "\"Title\": \"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", Fast::Takes},
        {"a \\u escape", title, "\"Title\": \"\\u00e9\\u3042\"", Fast::Takes},
        {"a surrogate pair", title, "\"Title\": \"\\ud83d\\ude00\"", Fast::Takes},
        {"a lone high surrogate", title, "\"Title\": \"\\ud83d\"", Fast::Declines},
        {"a lone low surrogate", title, "\"Title\": \"\\ude00\"", Fast::Declines},
        {"a high surrogate and a letter", title, "\"Title\": \"\\ud83dx\"", Fast::Declines},
        {"a bad escape", title, "\"Title\": \"\\x41\"", Fast::Declines},
        {"U+0000 in a text", "\"text\": \"abc\"", "\"text\": \"a\\u0000c\"", Fast::Declines},
        {"UTF-8", "\"text\": \"abc\"", "\"text\": \"\xE3\x81\x82\xC3\xA9\"", Fast::Takes},
        {"a byte that begins nothing", title, "\"Title\": \"\xFF\"", Fast::Declines},
        {"a cut character", title, "\"Title\": \"\xC3\"", Fast::Declines},
        {"an overlong form", title, "\"Title\": \"\xC0\xAF\"", Fast::Declines},
        {"an encoded surrogate", title, "\"Title\": \"\xED\xA0\x80\"", Fast::Declines},
        {"past U+10FFFF", title, "\"Title\": \"\xF4\x90\x80\x80\"", Fast::Declines},
        {"invalid UTF-8 outside a string", "\"X\": 1.5", "\"X\": 1.5\xFF", Fast::Declines},
        {"a text longer than its field", title, "\"Title\": \"" + std::string(300, 'a') + "\"", Fast::Declines},
        // bytes and points
        {"hexadecimal in capitals", "\"bmp\": \"0102ab\"", "\"bmp\": \"0102AB\"", Fast::Takes},
        {"an odd number of digits", "\"bmp\": \"0102ab\"", "\"bmp\": \"0102a\"", Fast::Declines},
        {"a byte that is no digit", "\"bmp\": \"0102ab\"", "\"bmp\": \"0102ag\"", Fast::Declines},
        {"an escaped digit", "\"bmp\": \"0102ab\"", "\"bmp\": \"0102a\\u0062\"", Fast::Declines},
        {"bytes against their count", "\"bmp\": \"0102ab\"", "\"bmp\": \"0102\"", Fast::Declines},
        {"a count against its points", "\"cnt\": 2", "\"cnt\": 3", Fast::Declines},
        {"no points", "\"cnt\": 2, \"pos\": [{\"X\": 0, \"Y\": 0}, {\"X\": 3, \"Y\": 4}]", "\"cnt\": 0, \"pos\": []",
         Fast::Declines},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool fast = Compare(Sub(base, c.from, c.to));
        if (c.fast == Fast::Takes) {
            EXPECT_TRUE(fast) << "the quick reader declined";
        } else if (c.fast == Fast::Declines) {
            EXPECT_FALSE(fast) << "the quick reader took it";
        }
    }
}

TEST(JsonReaders, AgreeOnTheExportCutAnywhere)
{
    const std::string base = Export(Fixture());
    // Every place in the entity list and the first bytes; elsewhere a few.
    const std::size_t list = base.find("\"entities\": [");
    ASSERT_NE(list, std::string::npos);
    for (std::size_t n = 0; n < base.size(); n += n < 40 || n + 20 >= list ? 1 : 997) {
        SCOPED_TRACE(n);
        EXPECT_FALSE(Compare(base.substr(0, n)));
    }
}

TEST(JsonReaders, TakeRandomDocumentsAndDocumentsWithoutEntities)
{
    for (std::uint64_t seed = 1; seed <= 30; ++seed) {
        SCOPED_TRACE(seed);
        RandomDocOptions opt;
        opt.normalized = true;
        TQ6Data doc;
        RandomDocument(doc, seed, opt);
        std::string x;
        ASSERT_TRUE(doc.MemOut(x));
        TQ6Data loaded;  // a loaded document, as the export meets them
        ASSERT_TRUE(loaded.MemIn({reinterpret_cast<const std::uint8_t*>(x.data()), x.size()}));
        const bool fast = Compare(Export(loaded));
        // Random texts may be longer than their fields in code page 932
        // only when not normalized; these all fit.
        EXPECT_TRUE(fast);
    }
    TQ6Data empty;
    empty.DataFree();
    EXPECT_TRUE(Compare(Export(empty)));
}

// A list long enough to be read in several pieces, and changes where one
// piece ends and the next begins.
TEST(JsonReaders, AgreeWhereTheEntityListIsCut)
{
    RandomDocOptions opt;
    opt.entities = 6000;
    TQ6Data doc;
    RandomDocument(doc, 77, opt);
    std::string x;
    ASSERT_TRUE(doc.MemOut(x));
    TQ6Data loaded;
    ASSERT_TRUE(loaded.MemIn({reinterpret_cast<const std::uint8_t*>(x.data()), x.size()}));
    const std::string base = Export(loaded);
    ASSERT_GT(base.size(), 3u << 20);
    EXPECT_TRUE(Compare(base));
    const std::size_t list = base.find("\"entities\": [\n");
    ASSERT_NE(list, std::string::npos);
    for (const std::size_t past : {std::size_t{1} << 20, std::size_t{2} << 20}) {
        // The line break that ends the first piece, and others near it.
        const std::size_t cut = base.find(",\n", list + past);
        ASSERT_NE(cut, std::string::npos);
        for (std::size_t at = base.rfind(",\n", cut - 1); at <= cut + 1000 && at != std::string::npos;
             at = base.find(",\n", at + 1)) {
            SCOPED_TRACE(at);
            std::string t = base;
            EXPECT_FALSE(Compare(t.erase(at, 1)));  // a missing comma
            t = base;
            EXPECT_FALSE(Compare(t.insert(at + 1, ",\n")));  // an empty item
            t = base;
            Compare(t.insert(at + 1, "\n"));  // an empty line, which is JSON
            t = base;
            EXPECT_FALSE(Compare(t.insert(at + 2, "\"")));  // a string across the break
        }
    }
    // The list's last line with a comma, when it is a piece's last too.
    std::string t = base;
    EXPECT_FALSE(Compare(t.insert(t.size() - 7, ",")));
}

}  // namespace
