// Measures the DXF export of one drawing next to the machine's own limits:
// the raw read of the drawing and the raw write (+ fsync) of as many bytes as
// the DXF takes, in the same run.
//   dxf_bench FILE [--runs N] [--out DIR]
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Q6Draw/Scene.h"
#include "Q6Dxf/Export.h"
#include "Q6Unit/Q6Data.h"
#include "Q6Unit/Files.h"

#include "bench/Timing.h"

namespace {

using bench::Best;
using bench::Clock;

// Counts bytes and drops them: the export's own cost, without the disk.
struct NullSink final : q6dxf::Sink {
    std::uint64_t n = 0;
    bool Write(const char*, std::size_t size) override
    {
        n += size;
        return true;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "Usage: dxf_bench FILE [--runs N] [--out DIR]\n");
        return 2;
    }
    const std::string file = argv[1];
    int runs = 3;
    std::string dir = "/tmp";
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--out") == 0) dir = argv[i + 1];
    }
    std::vector<char> raw;
    {
        const int fd = ::open(file.c_str(), O_RDONLY);
        if (fd < 0) {
            std::perror(file.c_str());
            return 1;
        }
        raw.resize(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)));
        ::close(fd);
    }
    const double mb = static_cast<double>(raw.size()) / 1e6;
    const double tRead = Best(runs, [&] {
        const int fd = ::open(file.c_str(), O_RDONLY);
        std::size_t done = 0;
        while (done < raw.size()) {
            const ssize_t r = ::pread(fd, raw.data() + done, raw.size() - done, static_cast<off_t>(done));
            if (r <= 0) break;
            done += static_cast<std::size_t>(r);
        }
        ::close(fd);
    });
    raw = {};

    TQ6Data doc;
    const double tLoad = Best(runs, [&] {
        doc.DataFree();
        if (!doc.FileIn(file)) std::exit(1);
    });
    q6draw::Scene scene;
    const double tScene = Best(runs, [&] { scene = q6draw::Scene::Build(doc); });
    const std::size_t items = scene.Items().size();
    doc.DataFree();

    q6dxf::ExportStats st;
    NullSink null;
    const double tFormat = Best(runs, [&] {
        null.n = 0;
        q6dxf::ExportDxf(scene, null, &st);
    });
    const double dxfMb = static_cast<double>(null.n) / 1e6;
    const std::string out = dir + "/dxf_bench.dxf";
    const double tFile = Best(runs, [&] {
        ReplaceFile(out, [&](int fd) {
            q6dxf::FdSink sink(fd);
            return q6dxf::ExportDxf(scene, sink, &st);
        });
    });
    // The same number of bytes, written raw and synced.
    std::vector<char> block(1 << 20, 'x');
    const std::string rawOut = dir + "/dxf_bench.raw";
    const double tRawWrite = Best(runs, [&] {
        const int fd = ::open(rawOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (std::uint64_t left = null.n; left > 0;) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
            if (::write(fd, block.data(), n) != static_cast<ssize_t>(n)) break;
            left -= n;
        }
        ::fsync(fd);
        ::close(fd);
    });
    std::remove(out.c_str());
    std::remove(rawOut.c_str());
    struct rusage ru {};
    ::getrusage(RUSAGE_SELF, &ru);

    std::printf("drawing %s: %.1f MB, %zu entities; DXF %.1f MB, %llu DXF entities (best of %d)\n", file.c_str(), mb,
                items, dxfMb, static_cast<unsigned long long>(st.entities), runs);
    std::printf("raw read            %8.3f s  %8.0f MB/s\n", tRead, mb / tRead);
    std::printf("load (FileIn)       %8.3f s  %8.0f MB/s of drawing\n", tLoad, mb / tLoad);
    std::printf("scene               %8.3f s  %8.0f MB/s of drawing\n", tScene, mb / tScene);
    std::printf("DXF, formatting     %8.3f s  %8.0f MB/s of drawing, %8.0f MB/s of DXF, %.2f M entities/s\n", tFormat,
                mb / tFormat, dxfMb / tFormat, static_cast<double>(st.entities) / tFormat / 1e6);
    std::printf("DXF to file (fsync) %8.3f s  %8.0f MB/s of drawing, %8.0f MB/s of DXF\n", tFile, mb / tFile,
                dxfMb / tFile);
    std::printf("raw write (fsync)   %8.3f s  %8.0f MB/s  (DXF to file / raw write of its bytes: %.2f)\n", tRawWrite,
                dxfMb / tRawWrite, tRawWrite / tFile);
    std::printf("whole (load + scene + DXF to file) %.3f s: %.0f MB/s of drawing\n", tLoad + tScene + tFile,
                mb / (tLoad + tScene + tFile));
    std::printf("peak memory %.0f MB (%.2f x drawing)\n", static_cast<double>(ru.ru_maxrss) / 1024,
                static_cast<double>(ru.ru_maxrss) / 1024 / mb * 1.048576);
    return 0;
}
