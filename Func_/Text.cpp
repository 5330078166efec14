// Conversions between UTF-8 texts and code page 932 byte fields, through iconv.
#include "Func_.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

iconv_t Decoder()
{
    thread_local Converter c("UTF-8", "CP932");
    return c.get();
}

iconv_t Encoder()
{
    thread_local Converter c("CP932", "UTF-8");
    return c.get();
}

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD, for a sequence that code page 932 lacks

// Code page 932 decoded through a table of iconv's own answers: every single
// byte, and every two-byte sequence that starts with a byte iconv does not
// convert alone, is converted by iconv once, the first time a text holds it, and the
// answer is kept. A text then costs a lookup a character instead of a call
// into iconv. The answers are only kept when they are of the two plain kinds
// (a character for all the bytes given, or a refusal of the first byte);
// anything else sends the text to iconv itself.
class Cp932Table {
public:
    // Appends the decoded bytes [p, p+n) (no zero byte among them); false when
    // the table cannot tell and nothing was appended.
    bool Append(std::string& out, const std::uint8_t* p, std::size_t n)
    {
        // At most 6 bytes of UTF-8 a byte: a character of one byte, or U+FFFD.
        constexpr std::size_t kShort = 256;
        char local[6 * kShort];
        std::string heap;
        char* const start = n <= kShort ? local : (heap.resize(6 * n), heap.data());
        char* dst = start;
        std::size_t i = 0;
        while (i < n) {
            const Entry& e = single_[p[i]];
            if (e.kind == Kind::Char) {
                dst = Put(dst, e);
                ++i;
                continue;
            }
            if (e.kind == Kind::Unknown) return false;
            // A byte that iconv does not convert alone: with the next one it may
            // make a character. Last, or refused with the next, it is replaced,
            // and the next byte starts afresh.
            if (i + 1 < n) {
                const Entry& d = Pair(p[i], p[i + 1]);
                if (d.kind == Kind::Char) {
                    dst = Put(dst, d);
                    i += 2;
                    continue;
                }
                if (d.kind != Kind::Refused) return false;
            }
            std::memcpy(dst, kReplacement, 3);
            dst += 3;
            ++i;
        }
        out.append(start, static_cast<std::size_t>(dst - start));
        return true;
    }

private:
    enum class Kind : std::uint8_t { Unknown, Char, Refused, First };
    struct Entry {
        Kind kind = Kind::Unknown;
        std::uint8_t len = 0;
        char utf8[6] = {};
    };
    static char* Put(char* dst, const Entry& e)
    {
        std::memcpy(dst, e.utf8, sizeof e.utf8);  // the whole entry: a fixed-size copy
        return dst + e.len;
    }

    // iconv's answer for exactly these bytes: Char when it converted all of
    // them, Refused when it refused the first, First when the one byte given
    // is only the start of a character, Unknown otherwise.
    static Entry Ask(const std::uint8_t* bytes, std::size_t n)
    {
        iconv_t cd = Decoder();
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char in[2] = {};
        std::memcpy(in, bytes, n);
        char* src = in;
        std::size_t left = n;
        char buf[16];
        char* dst = buf;
        std::size_t room = sizeof buf;
        const std::size_t r = iconv(cd, &src, &left, &dst, &room);
        const int err = errno;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const auto made = static_cast<std::size_t>(dst - buf);
        Entry e;
        if (r != static_cast<std::size_t>(-1) && left == 0 && made > 0 && made <= sizeof e.utf8) {
            e.kind = Kind::Char;
            e.len = static_cast<std::uint8_t>(made);
            std::memcpy(e.utf8, buf, made);
        } else if (r == static_cast<std::size_t>(-1) && left == n && made == 0) {
            if (err == EILSEQ) e.kind = Kind::Refused;
            else if (err == EINVAL && n == 1) e.kind = Kind::First;
        }
        return e;
    }

    const Entry& Pair(std::uint8_t first, std::uint8_t second)
    {
        auto& row = pairs_[first];
        if (!row) {
            row = std::make_unique<Entry[]>(256);
            for (unsigned b = 0; b < 256; ++b) {
                const std::uint8_t two[2] = {first, static_cast<std::uint8_t>(b)};
                row[b] = Ask(two, 2);
            }
        }
        return row[second];
    }

public:
    Cp932Table()
    {
        for (unsigned b = 0; b < 256; ++b) {
            const auto byte = static_cast<std::uint8_t>(b);
            single_[b] = Ask(&byte, 1);
        }
    }

private:
    Entry single_[256];
    std::unique_ptr<Entry[]> pairs_[256];
};

Cp932Table& DecodeTable()
{
    thread_local Cp932Table t;
    return t;
}

bool AllAscii(const unsigned char* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] >= 0x80) return false;
    return true;
}

// Length of the valid UTF-8 sequence at p (1 to 4), or 0 when it is invalid.
std::size_t Utf8SeqLen(const unsigned char* p, std::size_t n)
{
    const unsigned char c = p[0];
    std::size_t len;
    std::uint32_t cp;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (n < len) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// Runs iconv over [in, in+n), appending to out; `onError` handles a sequence
// that iconv refuses and returns how many input bytes to skip.
template <class OnError>
void Convert(iconv_t cd, std::string& out, const char* in, std::size_t n, OnError onError)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in);
    std::size_t left = n;
    char buf[1024];
    while (left > 0) {
        char* dst = buf;
        std::size_t room = sizeof buf;
        const std::size_t r = iconv(cd, &src, &left, &dst, &room);
        const int err = errno;
        out.append(buf, static_cast<std::size_t>(dst - buf));
        if (r != static_cast<std::size_t>(-1)) break;
        if (err == E2BIG) continue;
        const std::size_t skip = std::max<std::size_t>(1, onError(out, reinterpret_cast<unsigned char*>(src), left));
        src += std::min(skip, left);
        left -= std::min(skip, left);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
}

}  // namespace

void AppendFromAnsi(std::string& out, const std::uint8_t* bytes, std::size_t n)
{
    const void* z = n ? std::memchr(bytes, 0, n) : nullptr;
    if (z) n = static_cast<std::size_t>(static_cast<const std::uint8_t*>(z) - bytes);
    if (AllAscii(bytes, n)) {
        out.append(reinterpret_cast<const char*>(bytes), n);
        return;
    }
    if (DecodeTable().Append(out, bytes, n)) return;
    Convert(Decoder(), out, reinterpret_cast<const char*>(bytes), n, [](std::string& o, const unsigned char*, std::size_t) {
        o += kReplacement;
        return std::size_t{1};
    });
}

void AppendAnsi(std::string& out, std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    if (AllAscii(p, text.size())) {
        out.append(text);
        return;
    }
    Convert(Encoder(), out, text.data(), text.size(), [](std::string& o, const unsigned char* at, std::size_t left) {
        o += '?';
        const std::size_t len = Utf8SeqLen(at, left);
        return len ? len : std::size_t{1};
    });
}

std::string AnsiBytesToStr(std::span<const std::uint8_t> bytes)
{
    std::string s;
    AppendFromAnsi(s, bytes.data(), bytes.size());
    return s;
}

std::int32_t ByteStrLen(std::span<const std::uint8_t> bytes)
{
    const void* z = bytes.empty() ? nullptr : std::memchr(bytes.data(), 0, bytes.size());
    const std::size_t n = z ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(z) - bytes.data()) : bytes.size();
    return static_cast<std::int32_t>(std::min<std::size_t>(n, INT32_MAX));
}

std::int32_t AnsiLen(std::string_view text)
{
    const std::size_t z = text.find('\0');
    if (z != std::string_view::npos) text = text.substr(0, z);
    std::string enc;
    AppendAnsi(enc, text);
    return static_cast<std::int32_t>(std::min<std::size_t>(enc.size(), INT32_MAX));
}

std::vector<std::uint8_t>& StrToAnsiBytes(std::vector<std::uint8_t>& destination, std::string_view text)
{
    std::string enc;
    AppendAnsi(enc, text);
    destination.assign(enc.begin(), enc.end());
    return destination;
}

void StrToFixedAnsi(std::uint8_t* destination, std::string_view text, std::int32_t N)
{
    if (N <= 0) return;
    std::memset(destination, 0, static_cast<std::size_t>(N));
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::string enc;
    const unsigned char* src = p;
    std::size_t srcLen = text.size();
    if (!AllAscii(p, text.size())) {
        AppendAnsi(enc, text);
        src = reinterpret_cast<const unsigned char*>(enc.data());
        srcLen = enc.size();
    }
    const std::size_t L = std::min<std::size_t>(static_cast<std::size_t>(N), srcLen);
    std::size_t j = 0;
    while (j < L) {
        const unsigned char c = src[j];
        if (IsLeadByte(c)) {
            if (j + 1 >= L) break;  // the character would be split: dropped whole
            destination[j] = c;
            destination[j + 1] = src[j + 1];
            j += 2;
        } else {
            destination[j] = c;
            ++j;
        }
    }
}

std::vector<std::uint8_t>& StrToFixedAnsi(std::vector<std::uint8_t>& destination, std::string_view text, std::int32_t N)
{
    if (N > 0 && destination.size() < static_cast<std::size_t>(N))
        throw std::length_error("StrToFixedAnsi: destination shorter than the field");
    StrToFixedAnsi(destination.data(), text, N);
    return destination;
}

std::string UpperStr(std::string_view text)
{
    if (text.empty()) return {};
    static const locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t len = Utf8SeqLen(p + i, text.size() - i);
        if (len == 0) {  // not UTF-8: kept as it is
            out += static_cast<char>(p[i]);
            ++i;
            continue;
        }
        std::uint32_t cp = len == 1 ? p[i] : (p[i] & (0xFF >> (len + 1)));
        for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (p[i + k] & 0x3F);
        std::uint32_t up = cp;
        if (cp < 0x80)
            up = (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
        else if (loc)
            up = static_cast<std::uint32_t>(towupper_l(static_cast<wint_t>(cp), loc));
        if (up < 0x80) {
            out += static_cast<char>(up);
        } else if (up < 0x800) {
            out += static_cast<char>(0xC0 | (up >> 6));
            out += static_cast<char>(0x80 | (up & 0x3F));
        } else if (up < 0x10000) {
            out += static_cast<char>(0xE0 | (up >> 12));
            out += static_cast<char>(0x80 | ((up >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (up & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (up >> 18));
            out += static_cast<char>(0x80 | ((up >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((up >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (up & 0x3F));
        }
        i += len;
    }
    return out;
}
