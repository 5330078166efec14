// Where the loader's bytes come from: a memory buffer or an open file, read
// through a window so that most reads are a bounds check and a memcpy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Size when opened. Reads past the end (or past a shrunken file) return short.
    virtual std::uint64_t Size() const = 0;
    // Reads up to n bytes at offset; returns the number read (0 at the end or on error).
    virtual std::size_t ReadAt(std::uint64_t offset, void* dst, std::size_t n) = 0;
    // The whole content when it is in memory already, else null.
    virtual const std::uint8_t* Data() const { return nullptr; }
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    std::size_t ReadAt(std::uint64_t offset, void* dst, std::size_t n) override;
    const std::uint8_t* Data() const override { return bytes_.data(); }

private:
    std::span<const std::uint8_t> bytes_;
};

// A regular file opened for reading, with a shared advisory lock that keeps
// our own writers out while it is read. Open() fails for anything but a
// regular file, and when another process holds an exclusive lock on it
// (OpenForReading in Files.h, which also tells why).
class FileSource final : public ByteSource {
public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    bool Open(const std::string& path);
    std::uint64_t Size() const override { return size_; }
    std::size_t ReadAt(std::uint64_t offset, void* dst, std::size_t n) override;

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// A read position over a source. Reads that the end of the source cuts short
// return fewer bytes; they never fail otherwise.
class Stream {
public:
    explicit Stream(ByteSource& src);
    std::uint64_t Size() const { return size_; }
    std::uint64_t Pos() const { return winStart_ + cur_; }
    std::uint64_t Remaining() const { return Pos() < size_ ? size_ - Pos() : 0; }
    void Seek(std::uint64_t pos);

    std::size_t Read(void* dst, std::size_t n)
    {
        if (n <= winLen_ - cur_) {
            std::memcpy(dst, win_ + cur_, n);
            cur_ += n;
            return n;
        }
        return ReadSlow(dst, n);
    }
    // The bytes from the current position that are already in memory
    // (possibly none); valid until the next read or seek.
    std::span<const std::uint8_t> Window() const { return {win_ + cur_, winLen_ - cur_}; }
    // Reads up to n bytes and returns a view of them, valid until the next call.
    std::span<const std::uint8_t> View(std::size_t n, std::vector<std::uint8_t>& scratch);

private:
    std::size_t ReadSlow(void* dst, std::size_t n);
    void Fill();

    ByteSource& src_;
    std::uint64_t size_;
    const std::uint8_t* win_ = nullptr;  // bytes [winStart_, winStart_ + winLen_)
    std::uint64_t winStart_ = 0;
    std::size_t winLen_ = 0;
    std::size_t cur_ = 0;
    std::unique_ptr<std::uint8_t[]> buf_;
    std::size_t bufSize_ = 0;
    bool whole_ = false;
    static constexpr std::size_t kBuf = 1 << 20;
};
