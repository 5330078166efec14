#include "Q6Unit/Files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

OpenedFile OpenForReading(const std::string& path)
{
    OpenedFile f;
    const auto refuse = [&](OpenRefusal r, int e) {
        f.refusal = r;
        f.err = e;
        return f;
    };
    // O_NONBLOCK keeps a FIFO from blocking the open; it is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int openErr = errno;
        // Some files that are not regular cannot even be opened (a socket, a
        // device we may not read): they are told as such.
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return refuse(OpenRefusal::System, errno);
        if (!S_ISREG(st.st_mode)) return refuse(OpenRefusal::NotRegular, 0);
        return refuse(OpenRefusal::System, openErr);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return refuse(OpenRefusal::System, e);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(OpenRefusal::NotRegular, 0);
    }
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        return refuse(OpenRefusal::Locked, 0);
    }
    f.fd = fd;
    f.size = static_cast<std::uint64_t>(st.st_size);
    return f;
}

std::string DescribeRefusal(OpenRefusal why, int err)
{
    switch (why) {
    case OpenRefusal::None: break;
    case OpenRefusal::System: return std::strerror(err);
    case OpenRefusal::NotRegular: return "not a regular file";
    case OpenRefusal::Locked: return "another program holds it open for writing";
    }
    return {};
}

bool WriteAll(int fd, std::string_view buf)
{
    std::size_t done = 0;
    while (done < buf.size()) {
        const ssize_t r = ::write(fd, buf.data() + done, buf.size() - done);
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) errno = EIO;
        if (r <= 0) return false;
        done += static_cast<std::size_t>(r);
    }
    return true;
}

void IgnoreFileSizeSignal()
{
    struct sigaction old {};
    if (::sigaction(SIGXFSZ, nullptr, &old) != 0) return;
    if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) return;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

bool ReplaceFile(const std::string& FName, const std::function<bool(int fd)>& write, int* err)
{
    int saved = 0;
    const auto fail = [&] {
        if (!saved) saved = errno ? errno : EIO;
        if (err) *err = saved;
        return false;
    };
    if (FName.empty()) {
        errno = ENOENT;
        return fail();
    }
    IgnoreFileSizeSignal();
    // Saving over a symbolic link writes the file it points to (a link whose
    // file does not exist yet creates that file).
    std::string target = FName;
    struct stat st {};
    bool exists = ::lstat(FName.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(FName.c_str(), nullptr)) {
            target = real;
            std::free(real);
        } else {
            char link[PATH_MAX];
            const ssize_t k = ::readlink(FName.c_str(), link, sizeof link);
            if (k <= 0 || static_cast<std::size_t>(k) >= sizeof link) return fail();
            const std::string to(link, static_cast<std::size_t>(k));
            const std::size_t at = FName.rfind('/');
            target = to[0] == '/' || at == std::string::npos ? to : FName.substr(0, at + 1) + to;
        }
        exists = ::stat(target.c_str(), &st) == 0;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return fail();
    }

    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    // The temporary name must stay within the system's limit on a name even
    // for a target whose own name is near it; cut at a character boundary.
    if (base.size() > 200) {
        std::size_t cut = 200;
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
        base.resize(cut);
    }

    // An existing file is replaced only where it could have been overwritten
    // in place: we may write to it, and no other program has it open under a
    // lock (a load holds a shared one while it reads). The lock is held until
    // the new file has taken its place.
    int guard = -1;
    if (exists) {
        guard = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (guard < 0) return fail();
        if (::flock(guard, LOCK_EX | LOCK_NB) != 0) {
            ::close(guard);
            errno = EBUSY;  // another program holds it
            return fail();
        }
    }

    // A new file beside the target, created exclusively and locked while it is
    // written; it replaces the target only when every byte has reached the disk.
    std::random_device rd;
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(rd()));
        tmp = dir + "." + base + suffix;
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        fail();
        if (guard >= 0) ::close(guard);
        return false;
    }
    bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0 || fail();
    if (ok && exists) ok = ::fchmod(fd, st.st_mode & 07777) == 0 || fail();
    if (ok) {
        errno = 0;
        try {
            ok = write(fd);
        } catch (...) {
            ok = false;
        }
        if (!ok) fail();
    }
    if (ok) ok = ::fsync(fd) == 0 || fail();
    if (::close(fd) != 0) ok = ok && fail();
    if (ok) ok = ::rename(tmp.c_str(), target.c_str()) == 0 || fail();
    if (!ok) ::unlink(tmp.c_str());
    if (guard >= 0) ::close(guard);
    if (err) *err = ok ? 0 : saved;
    return ok;
}
