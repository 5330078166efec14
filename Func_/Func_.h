// Text and number helpers shared by the document, the report and the tools.
//
// Texts live in memory as UTF-8 std::string. Drawing files hold them in
// code page 932 (Shift-JIS with the Windows extensions); the conversions
// below never fail: a character that code page 932 cannot represent becomes
// "?", and bytes that form no valid character become U+FFFD.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct TDPoint {
    double X = 0;
    double Y = 0;
    friend bool operator==(const TDPoint&, const TDPoint&) = default;
};

// Rounds symmetrically about zero to `digits` decimal places (1 to 9; any other
// value rounds to a whole number). mode 0 truncates, mode 1 rounds away from
// zero, any other mode rounds halves away from zero. A value whose scaled
// magnitude is 2^51 or more, or that is not finite, is returned unchanged, so
// that rounding an already rounded value changes nothing.
double RoundOff(double value, std::int32_t digits, std::int32_t mode);

// Unicode upper-casing (simple case mapping, code point by code point).
std::string UpperStr(std::string_view text);

// Number of bytes that `text` takes in code page 932, counted up to its first
// U+0000 character.
std::int32_t AnsiLen(std::string_view text);

// Number of bytes before the first zero byte (the whole length if there is none).
std::int32_t ByteStrLen(std::span<const std::uint8_t> bytes);

// Decodes code page 932 bytes up to the first zero byte.
std::string AnsiBytesToStr(std::span<const std::uint8_t> bytes);

// Replaces `destination` by the code page 932 bytes of `text` (no terminator).
std::vector<std::uint8_t>& StrToAnsiBytes(std::vector<std::uint8_t>& destination, std::string_view text);

// Fills destination[0..N-1] as a fixed-width field: the encoded text cut at
// the last whole character that fits, zero bytes after it. The destination is
// not resized; writes nothing when N <= 0. Bytes from N on are untouched.
std::vector<std::uint8_t>& StrToFixedAnsi(std::vector<std::uint8_t>& destination, std::string_view text,
                                          std::int32_t N);
// The same on a raw buffer of at least N bytes.
void StrToFixedAnsi(std::uint8_t* destination, std::string_view text, std::int32_t N);

std::string IntStr(std::int32_t value);
// General number format with 15 significant digits; "." is the decimal separator.
std::string FloatStr(double value);

// Appending forms used where speed matters (the report, the writer).
void AppendInt(std::string& out, std::int64_t value);
void AppendFloat(std::string& out, double value);
// FloatStr's text written at `out`, which must have kFloatTextRoom bytes of
// room (more than the text takes); returns the end of the text.
inline constexpr std::size_t kFloatTextRoom = 48;
char* WriteFloat(char* out, double value);
// The shortest text that reads back to `value`, exactly the bytes that
// std::to_chars(first, last, value) writes (fixed form when it is not longer
// than the scientific one, "inf", "nan", "-0"), written at `out`, which must
// have kShortestRoom bytes of room (more than the text takes); returns the
// end of the text.
inline constexpr std::size_t kShortestRoom = 32;
char* ShortestChars(char* out, double value);
// Appends the code page 932 bytes of `text` (all of it, NUL characters included).
void AppendAnsi(std::string& out, std::string_view text);
// Appends the UTF-8 text of code page 932 bytes, stopping at the first zero byte.
void AppendFromAnsi(std::string& out, const std::uint8_t* bytes, std::size_t n);
// True when a byte opens a double-byte character of code page 932.
constexpr bool IsLeadByte(std::uint8_t c) { return (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFD); }
