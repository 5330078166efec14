// A streaming writer of DXF group code / value pairs (the text form of DXF).
//
// Every value is written so that the tag structure survives whatever it holds:
// a text never breaks its line (control characters take DXF's caret notation),
// a double is written in the shortest form that reads back to the same double,
// and nothing is kept in memory beyond one buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace q6dxf {

// Where the bytes go. Write returns false when they could not be written.
class Sink {
public:
    virtual ~Sink() = default;
    virtual bool Write(const char* data, std::size_t size) = 0;
};

// Appends to a string: for tests and the fuzz target.
class StringSink final : public Sink {
public:
    bool Write(const char* data, std::size_t size) override
    {
        out.append(data, size);
        return true;
    }
    std::string out;
};

// Writes to an open file descriptor, retrying short writes.
class FdSink final : public Sink {
public:
    explicit FdSink(int fd) : fd_(fd) {}
    bool Write(const char* data, std::size_t size) override;
    int Errno() const { return errno_; }

private:
    int fd_;
    int errno_ = 0;
};

// Makes a text safe as one DXF value line: the bytes of valid UTF-8 stay as
// they are; a control character C below U+0020 becomes "^" and the character
// C + 64 ("^J" for a line feed, "^@" for U+0000), and "^" itself
// becomes "^ " -- the caret notation that DXF readers decode; a byte that does
// not begin or continue a valid UTF-8 sequence becomes U+FFFD.
void AppendSafeText(std::string& out, std::string_view utf8);

// The shortest text that reads back to `v` (std::to_chars), with ".0" added to
// a whole number so that every reader takes it as a real. A value that is not
// finite has no DXF form: it is written as 0 and counted by the TagWriter.
std::size_t FormatReal(char* buf, double v);  // buf holds at least 32 chars

class TagWriter {
public:
    explicit TagWriter(Sink& sink);
    ~TagWriter();
    TagWriter(const TagWriter&) = delete;
    TagWriter& operator=(const TagWriter&) = delete;

    // A value that is known to be safe: names of this writer's own making.
    void Raw(int code, std::string_view value);
    // A value from the drawing: made safe by AppendSafeText.
    void Text(int code, std::string_view utf8);
    void Real(int code, double v);
    void Int(int code, long long v);
    // A handle: upper-case hexadecimal without leading zeros.
    void Handle(int code, std::uint64_t h);
    // A point with group codes code, code + 10 and code + 20 (Z = 0).
    void Point(int code, double x, double y);
    void Point2(int code, double x, double y);  // X and Y only (LWPOLYLINE vertices)

    // Hands the buffer to the sink; false when any write failed.
    bool Flush();
    bool Failed() const { return failed_; }
    // Values that were not finite and were written as 0.
    std::uint64_t NonFinite() const { return nonFinite_; }
    // Bytes handed to the sink and still buffered.
    std::uint64_t BytesWritten() const { return written_ + n_; }

private:
    // Room for one code line and one number line.
    static constexpr std::size_t kTag = 64;
    static constexpr std::size_t kChunk = 1 << 16;
    void Code(int code);
    void Reserve(std::size_t n)
    {
        if (n_ + n > cap_) Grow(n);
    }
    void Grow(std::size_t n);
    void Put(const char* p, std::size_t n);
    void MaybeFlush()
    {
        if (n_ >= kChunk) Flush();
    }

    Sink& sink_;
    std::unique_ptr<char[]> buf_;
    std::size_t n_ = 0;
    std::size_t cap_ = 0;
    std::uint64_t written_ = 0;
    std::uint64_t nonFinite_ = 0;
    bool failed_ = false;
    std::string text_;  // scratch for safe texts
};

}  // namespace q6dxf
