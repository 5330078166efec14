#include "Q6Unit/ByteSource.h"

#include "Q6Unit/Files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

std::size_t MemorySource::ReadAt(std::uint64_t offset, void* dst, std::size_t n)
{
    if (offset >= bytes_.size()) return 0;
    const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, bytes_.size() - offset));
    std::memcpy(dst, bytes_.data() + offset, k);
    return k;
}

FileSource::~FileSource()
{
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

bool FileSource::Open(const std::string& path)
{
    const OpenedFile f = OpenForReading(path);
    fd_ = f.fd;
    size_ = f.size;
    return fd_ >= 0;
}

std::size_t FileSource::ReadAt(std::uint64_t offset, void* dst, std::size_t n)
{
    std::size_t done = 0;
    auto* out = static_cast<std::uint8_t*>(dst);
    while (done < n) {
        const ssize_t r = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;  // end of the file, or an error: the read stays short
        done += static_cast<std::size_t>(r);
    }
    return done;
}

Stream::Stream(ByteSource& src) : src_(src), size_(src.Size())
{
    if (const std::uint8_t* d = src.Data()) {
        win_ = d;
        winLen_ = static_cast<std::size_t>(size_);
        whole_ = true;
    } else {
        // A small file needs no more buffer than its size.
        bufSize_ = static_cast<std::size_t>(std::min<std::uint64_t>(kBuf, std::max<std::uint64_t>(size_, 4096)));
        buf_ = std::make_unique_for_overwrite<std::uint8_t[]>(bufSize_);
        win_ = buf_.get();
    }
}

void Stream::Seek(std::uint64_t pos)
{
    if (whole_) {
        cur_ = static_cast<std::size_t>(std::min<std::uint64_t>(pos, size_));
        return;
    }
    if (pos >= winStart_ && pos - winStart_ <= winLen_) {
        cur_ = static_cast<std::size_t>(pos - winStart_);
        return;
    }
    // Only a buffered file gets here: the window moves to pos, empty.
    winStart_ = pos;
    winLen_ = 0;
    cur_ = 0;
}

void Stream::Fill()
{
    const std::uint64_t pos = Pos();
    winStart_ = pos;
    cur_ = 0;
    winLen_ = pos < size_ ? src_.ReadAt(pos, buf_.get(), bufSize_) : 0;
}

std::size_t Stream::ReadSlow(void* dst, std::size_t n)
{
    auto* out = static_cast<std::uint8_t*>(dst);
    std::size_t done = std::min(n, winLen_ - cur_);
    std::memcpy(out, win_ + cur_, done);
    cur_ += done;
    if (whole_) return done;
    while (done < n) {
        const std::size_t want = n - done;
        if (want >= bufSize_) {  // large blocks go straight to their destination
            const std::uint64_t pos = Pos();
            const std::size_t got = pos < size_ ? src_.ReadAt(pos, out + done, want) : 0;
            winStart_ = pos + got;
            winLen_ = 0;
            cur_ = 0;
            done += got;
            if (got < want) break;
            continue;
        }
        Fill();
        if (winLen_ == 0) break;
        const std::size_t k = std::min(want, winLen_);
        std::memcpy(out + done, win_, k);
        cur_ = k;
        done += k;
    }
    return done;
}

std::span<const std::uint8_t> Stream::View(std::size_t n, std::vector<std::uint8_t>& scratch)
{
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, Remaining()));
    if (n <= winLen_ - cur_) {
        std::span<const std::uint8_t> s(win_ + cur_, n);
        cur_ += n;
        return s;
    }
    scratch.resize(n);
    const std::size_t got = Read(scratch.data(), n);
    return {scratch.data(), got};
}
