// The JSON texts that build refuses, each with the message that names its
// place: the table of the JSON tests, and seeds of the build_json fuzz target.
#pragma once

#include <string>
#include <vector>

struct BadJsonCase {
    std::string json;
    std::string error;
};

inline std::vector<BadJsonCase> BadJsonCases()
{
    std::string twelve;  // twelve points before the entity under test
    for (int i = 0; i < 12; ++i) twelve += R"({"kind": "pt"}, )";
    const auto ent = [](const std::string& e) { return R"({"format": 1, "entities": [)" + e + "]}"; };
    return {
        // the text and its top level
        {"", "parse error at line 1, column 1: syntax error while parsing value - unexpected end of input; expected "
             "'[', '{', or a literal"},
        {"{\"format\": 1,\n \"Title\": \"a\",}", "parse error at line 2, column 15: syntax error while parsing object "
                                                 "key - unexpected '}'; expected string literal"},
        {"{\"format\": 1,\n \"psz\": {\"typ\": 1e999}}", "parse error at line 2, column 21: number overflow parsing '1e999'"},
        {"[1]", "expected a JSON object at the top level"},
        {"{}", "format: missing (this tool reads format 1)"},
        {R"({"format": 2})", "format: 2 is not a format this tool reads (it reads format 1)"},
        {R"({"format": "1"})", "format: expected the number 1"},
        {R"({"format": 1, "Titel": "x"})", "Titel: unknown field"},
        {R"({"format": 1, "psz": {"typ": 1, "typ": 2}})", "psz.typ: duplicate field"},
        {R"({"format": 1, "": [{"kind": "pt"}]})", R"("": unknown field)"},
        {R"({"format": 1, "psz": {"a b.c": 1}})", R"(psz."a b.c": unknown field)"},
        {R"({"format": 1, "psz": {"": 1, "": 2}})", R"(psz."": duplicate field)"},
        {R"({"format": 1, "entities": {}})", "entities: expected an array"},
        // types, ranges and sizes in the settings
        {R"({"format": 1, "Title": 5})", "Title: expected a string"},
        {R"({"format": 1, "li": []})", "li: expected an object"},
        {R"({"format": 1, "li": {"grp": []}})", "li.grp: expected an array of 16 items"},
        {R"({"format": 1, "li": {"current": 300}})", "li.current: 300 is out of range for a Byte (0 to 255)"},
        {R"({"format": 1, "li": {"current": -1}})", "li.current: -1 is out of range for a Byte (0 to 255)"},
        {R"({"format": 1, "li": {"current": 1.0}})", "li.current: expected an integer"},
        {R"({"format": 1, "coltbl": [1, 2]})", "coltbl: expected an array of 272 items"},
        {R"({"format": 1, "ai": {"reserved": "00"}})",
         "ai.reserved: expected 128 bytes as 256 hexadecimal digits, got 2 digits"},
        {R"({"format": 1, "ai": {"colour": 1}})", "ai.colour: unknown field"},
        // entities
        {ent("1"), "entities[0]: expected an object"},
        {ent("{}"), "entities[0].kind: missing"},
        {ent(R"({"kind": 2001})"), "entities[0].kind: expected a string"},
        {ent(R"({"kind": "point"})"), "entities[0].kind: unknown kind \"point\""},
        {ent(R"({"kind": "pt", "id": 2002})"), "entities[0].id: expected 2001, the identifier of kind \"pt\""},
        {ent(R"({"kind": "lnx", "version": 20})"), "entities[0].version: expected 30, the version of kind \"lnx\""},
        {ent(R"({"kind": "pt", "colour": 1})"), "entities[0].colour: unknown field"},
        {ent(R"({"kind": "pt"}, {"kind": "pt", "obj": {"id": 1, "id": 2}})"), "entities[1].obj.id: duplicate field"},
        {ent(twelve + R"({"kind": "ln", "pos": [{"X": 0, "Y": 0}, {"X": true}]})"),
         "entities[12].pos[1].X: expected a number"},
        {ent(R"({"kind": "pt", "pos": {"X": "nan"}})"),
         "entities[0].pos.X: \"nan\" is not a number; the texts for doubles are \"inf\", \"-inf\" and \"nan:0x\" with "
         "the 16 hexadecimal digits of a NaN"},
        {ent(R"({"kind": "pt", "pos": {"Y": "nan:0x0000000000000001"}})"),
         "entities[0].pos.Y: \"nan:0x0000000000000001\" holds the bits of a number, not of a NaN"},
        {ent(R"({"kind": "ln", "pos": [{}]})"), "entities[0].pos: expected an array of 2 items"},
        {ent(R"({"kind": "pt", "obj": {"attr": 65536}})"),
         "entities[0].obj.attr: 65536 is out of range for a Word (0 to 65535)"},
        {ent(R"({"kind": "grqle", "qle": {"line": -32769}})"),
         "entities[0].qle.line: -32769 is out of range for a SmallInt (-32768 to 32767)"},
        {ent(R"({"kind": "pt", "obj": {"id": 2147483648}})"),
         "entities[0].obj.id: 2147483648 is out of range for an Integer (-2147483648 to 2147483647)"},
        {ent(R"({"kind": "pt", "obj": {"color": -1}})"),
         "entities[0].obj.color: -1 is out of range for a Cardinal (0 to 4294967295)"},
        {ent(R"({"kind": "tx", "text": "a\u0000b"})"), "entities[0].text: a text cannot hold U+0000"},
        {ent(R"({"kind": "lnx", "e": {"symb": ")" + std::string(523, '0') + "g\"}})"),
         "entities[0].e.symb: character 524 is not a hexadecimal digit"},
        {ent(R"({"kind": "bmx", "exdata": "abc"})"), "entities[0].exdata: expected an even number of hexadecimal digits"},
        {ent(R"({"kind": "bm", "byt": 3, "bmp": "00"})"),
         "entities[0].bmp: holds 1 byte, but byt is 3: it must hold max(byt, 0) = 3 bytes"},
        {ent(R"({"kind": "bm", "byt": -1, "bmp": "0000"})"),
         "entities[0].bmp: holds 2 bytes, but byt is -1: it must hold max(byt, 0) = 0 bytes"},
        // point lists
        {ent(R"({"kind": "pl"})"), "entities[0].pos: missing: a point list holds 1 to 32767 points"},
        {ent(R"({"kind": "pg", "pos": []})"), "entities[0].pos: expected an array of 1 to 32767 points"},
        {ent(R"({"kind": "bzx"})"), "entities[0].bz.pos: missing: a point list holds 1 to 32767 points"},
        {ent(R"({"kind": "pgm", "pg": {}})"), "entities[0].pg.pos: missing: a point list holds 1 to 32767 points"},
        {ent(R"({"kind": "bzx", "bz": {"cnt": 1, "pos": [{}, {}]}})"),
         "entities[0].bz.cnt: 1 disagrees with the 2 points of pos"},
        {ent(R"({"kind": "pgg", "pg": {"pos": [{"X": 1}, {"Z": 2}]}})"), "entities[0].pg.pos[1].Z: unknown field"},
    };
}
