#include "Q6Dxf/TagWriter.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "Func_/Func_.h"

namespace q6dxf {

bool FdSink::Write(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            errno_ = errno;
            return false;
        }
        if (n == 0) {
            errno_ = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

namespace {

// Length of the valid UTF-8 sequence at s[i], or 0.
std::size_t Utf8Length(std::string_view s, std::size_t i)
{
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned c = b(i);
    std::size_t n;
    unsigned lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    if (b(i + 1) < lo || b(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if ((b(i + k) & 0xC0) != 0x80) return 0;
    return n;
}

}  // namespace

void AppendSafeText(std::string& out, std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        // Runs of plain characters are copied at once.
        std::size_t j = i;
        while (j < s.size()) {
            const auto c = static_cast<unsigned char>(s[j]);
            if (c < 0x20 || c == '^' || c >= 0x80) break;
            ++j;
        }
        out.append(s.data() + i, j - i);
        i = j;
        if (i == s.size()) break;
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20) {
            out += '^';
            out += static_cast<char>(c + 64);
            ++i;
        } else if (c == '^') {
            out += "^ ";
            ++i;
        } else {
            const std::size_t n = Utf8Length(s, i);
            if (n == 0) {
                out += "\xEF\xBF\xBD";
                ++i;
            } else {
                out.append(s.data() + i, n);
                i += n;
            }
        }
    }
}

std::size_t FormatReal(char* buf, double v)
{
    if (!std::isfinite(v)) {
        std::memcpy(buf, "0.0", 3);
        return 3;
    }
    std::size_t n = static_cast<std::size_t>(ShortestChars(buf, v) - buf);
    for (std::size_t i = 0; i < n; ++i)
        if (buf[i] == '.' || buf[i] == 'e') return n;
    buf[n++] = '.';
    buf[n++] = '0';
    return n;
}

namespace {

// "NNN\n" for every group code, made once.
struct CodeLines {
    char text[1072][8];
    std::uint8_t len[1072];
    CodeLines()
    {
        for (int c = 0; c < 1072; ++c) {
            const auto r = std::to_chars(text[c], text[c] + 7, c);
            *r.ptr = '\n';
            len[c] = static_cast<std::uint8_t>(r.ptr - text[c] + 1);
        }
    }
};
const CodeLines kCodes;

}  // namespace

TagWriter::TagWriter(Sink& sink) : sink_(sink), buf_(new char[kChunk + 4 * kTag]), cap_(kChunk + 4 * kTag) {}

TagWriter::~TagWriter() { Flush(); }

void TagWriter::Grow(std::size_t n)
{
    Flush();
    if (n > cap_) {
        buf_.reset(new char[n]);
        cap_ = n;
    }
}

void TagWriter::Put(const char* p, std::size_t n)
{
    Reserve(n);
    std::memcpy(buf_.get() + n_, p, n);
    n_ += n;
}

void TagWriter::Code(int code)
{
    Reserve(kTag);
    if (code >= 0 && code < 1072) {
        std::memcpy(buf_.get() + n_, kCodes.text[code], 8);
        n_ += kCodes.len[code];
        return;
    }
    char* p = buf_.get() + n_;
    const auto r = std::to_chars(p, p + 16, code);
    *r.ptr = '\n';
    n_ += static_cast<std::size_t>(r.ptr - p) + 1;
}

void TagWriter::Raw(int code, std::string_view value)
{
    Code(code);
    Reserve(value.size() + 1);
    std::memcpy(buf_.get() + n_, value.data(), value.size());
    n_ += value.size();
    buf_[n_++] = '\n';
    MaybeFlush();
}

void TagWriter::Text(int code, std::string_view utf8)
{
    text_.clear();
    AppendSafeText(text_, utf8);
    Raw(code, text_);
}

void TagWriter::Real(int code, double v)
{
    if (!std::isfinite(v)) ++nonFinite_;
    Code(code);  // leaves room for the number
    n_ += FormatReal(buf_.get() + n_, v);
    buf_[n_++] = '\n';
    MaybeFlush();
}

void TagWriter::Int(int code, long long v)
{
    Code(code);
    char* p = buf_.get() + n_;
    const auto r = std::to_chars(p, p + 24, v);
    *r.ptr = '\n';
    n_ += static_cast<std::size_t>(r.ptr - p) + 1;
    MaybeFlush();
}

void TagWriter::Handle(int code, std::uint64_t h)
{
    Code(code);
    char* p = buf_.get() + n_;
    auto r = std::to_chars(p, p + 24, h, 16);
    for (char* q = p; q < r.ptr; ++q)
        if (*q >= 'a' && *q <= 'f') *q = static_cast<char>(*q - 'a' + 'A');
    *r.ptr = '\n';
    n_ += static_cast<std::size_t>(r.ptr - p) + 1;
    MaybeFlush();
}

void TagWriter::Point(int code, double x, double y)
{
    Real(code, x);
    Real(code + 10, y);
    Real(code + 20, 0.0);
}

void TagWriter::Point2(int code, double x, double y)
{
    Real(code, x);
    Real(code + 10, y);
}

bool TagWriter::Flush()
{
    if (n_ > 0) {
        if (!failed_ && !sink_.Write(buf_.get(), n_)) failed_ = true;
        written_ += n_;
        n_ = 0;
    }
    return !failed_;
}

}  // namespace q6dxf
