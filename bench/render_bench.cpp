// Measures drawing: the scene, the SVG writer and the painter on one drawing,
// beside the machine's own limits in the same run (writing the same number
// of bytes raw; filling the image), one pass of the load interpreted in
// batches as q6tool render reads the file, then q6tool render as a user runs it,
// with its wall time and peak memory.
//   render_bench FILE [--runs N] [--size WxH]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "Q6Draw/Paint.h"
#include "Q6Draw/Scene.h"
#include "Q6Draw/Svg.h"
#include "Q6Unit/Files.h"
#include "Q6Unit/Q6Data.h"

#include "bench/Timing.h"

namespace {

using bench::Best;
using bench::Clock;

// Runs argv, returns the wall time and the child's peak resident memory.
bool Child(const std::vector<std::string>& argv, double& seconds, long& maxKiB)
{
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto t0 = Clock::now();
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, args[0], &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (spawned != 0) return false;
    int st = 0;
    struct rusage ru {};
    if (::wait4(pid, &st, 0, &ru) != pid) return false;
    seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    maxKiB = ru.ru_maxrss;
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "Usage: render_bench FILE [--runs N] [--size WxH]\n");
        return 2;
    }
    const std::string path = argv[1];
    int runs = 3, w = 4096, h = 4096;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--size") && i + 1 < argc) std::sscanf(argv[++i], "%dx%d", &w, &h);
    }
    // q6tool render first, while this process is small: a child's peak
    // counts the pages of the process it was started from
    char self[4096];
    const ssize_t k = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string tool = k > 0 ? std::string(self, static_cast<std::size_t>(k)) : std::string();
    tool = tool.substr(0, tool.rfind('/') + 1) + "q6tool";
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    double tToolSvg = 0, tToolPng = 0;
    long memSvgKiB = 0, memPngKiB = 0;
    const bool okSvg = Child({tool, "render", path, path + ".bench.svg"}, tToolSvg, memSvgKiB);
    const bool okPng = Child({tool, "render", path, path + ".bench.png", "--size", size}, tToolPng, memPngKiB);
    const double memSvg = static_cast<double>(memSvgKiB), memPng = static_cast<double>(memPngKiB);
    ::unlink((path + ".bench.svg").c_str());
    ::unlink((path + ".bench.png").c_str());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 1;
    const double mb = static_cast<double>(st.st_size) / 1e6;

    TQ6Data doc;
    const auto l0 = Clock::now();
    if (!doc.FileIn(path)) {
        std::fprintf(stderr, "render_bench: %s does not load\n", path.c_str());
        return 1;
    }
    const double tLoad = std::chrono::duration<double>(Clock::now() - l0).count();
    // one pass of q6tool render: the load with each entity interpreted in
    // batches and dropped (render reads the file twice: to count and
    // measure, then to draw)
    const double tPass = Best(runs, [&] {
        TQ6Data head;
        q6draw::SceneStream stream(head, {});
        const EntitySink sink = [&](const TQ6EntNo& en, const void* record) {
            stream.Add(en, record);
            if (stream.BatchSize() >= 8192) stream.Clear();
            return true;
        };
        head.FileIn(path, sink);
    });
    q6draw::Scene scene;
    const double tScene = Best(runs, [&] { scene = q6draw::Scene::Build(doc); });
    doc.DataFree();
    const q6draw::View view = q6draw::FitAspect(q6draw::DefaultView(scene.Extent()), w, h);
    const std::vector<std::string> desc = scene.SummaryLines();

    std::size_t svgBytes = 0;
    const double tSvgMem = Best(runs, [&] {
        svgBytes = 0;
        q6draw::WriteSvg(scene, view, w, h, desc, [&](std::string_view p) {
            svgBytes += p.size();
            return true;
        });
    });
    const std::string svgPath = path + ".bench.svg";
    const double tSvgFile = Best(runs, [&] {
        ReplaceFile(svgPath, [&](int fd) {
            return q6draw::WriteSvg(scene, view, w, h, desc, [&](std::string_view p) { return WriteAll(fd, p); });
        });
    });
    // the machine's limit: the same number of bytes written raw (and synced, as ReplaceFile does)
    const std::string block(1u << 20, 'x');
    const double tRaw = Best(runs, [&] {
        ReplaceFile(svgPath, [&](int fd) {
            for (std::size_t done = 0; done < svgBytes; done += block.size())
                if (!WriteAll(fd, std::string_view(block).substr(0, std::min(block.size(), svgBytes - done)))) return false;
            return true;
        });
    });
    ::unlink(svgPath.c_str());

    q6draw::PaintStats ps;
    const double tPaint = Best(runs, [&] { (void)q6draw::RenderImage(scene, view, QSize(w, h), {}, &ps); });
    const double tFill = Best(runs, [&] {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::white);
    });
    QByteArray png;
    const double tPng = Best(runs, [&] { png = q6draw::PngBytes(scene, view, QSize(w, h), desc); });


    const double n = static_cast<double>(scene.Items().size());
    std::printf("file            %s, %.1f MB, %zu entities; %s\n", path.c_str(), mb, scene.Items().size(),
                scene.SummaryLine().c_str());
    std::printf("%-34s %9s %12s %14s\n", "operation", "seconds", "MB/s drawing", "entities/s");
    std::printf("%-34s %9.4f %12.0f %14.0f\n", "load (FileIn, for reference)", tLoad, mb / tLoad, n / tLoad);
    std::printf("%-34s %9.4f %12.0f %14.0f\n", "load + interpret in batches", tPass, mb / tPass, n / tPass);
    std::printf("%-34s %9.4f %12.0f %14.0f\n", "scene", tScene, mb / tScene, n / tScene);
    std::printf("%-34s %9.4f %12.0f %14.0f  (%.1f MB of SVG)\n", "SVG into memory", tSvgMem, mb / tSvgMem,
                n / tSvgMem, static_cast<double>(svgBytes) / 1e6);
    std::printf("%-34s %9.4f %12.0f %14.0f\n", "SVG to file (+ fsync, rename)", tSvgFile, mb / tSvgFile,
                n / tSvgFile);
    std::printf("%-34s %9.4f %12.0f\n", "raw write of as many bytes", tRaw, mb / tRaw);
    std::printf("%-34s %9.4f %12.0f %14.0f  (%zu segments, %zu texts)\n",
                ("paint " + size).c_str(), tPaint, mb / tPaint, n / tPaint, ps.segments, ps.texts);
    std::printf("%-34s %9.4f\n", "white fill of the image alone", tFill);
    std::printf("%-34s %9.4f %12.0f  (%.1f MB of PNG)\n", ("paint + PNG " + size).c_str(), tPng, mb / tPng,
                static_cast<double>(png.size()) / 1e6);
    std::printf("%-34s %9.4f %12.0f  peak %.0f MB = %.2f x file%s\n", "q6tool render to SVG", tToolSvg,
                mb / tToolSvg, memSvg / 1024.0, memSvg * 1024.0 / static_cast<double>(st.st_size),
                okSvg ? "" : "  FAILED");
    const double image = static_cast<double>(w) * h * 4;
    std::printf("%-34s %9.4f %12.0f  peak %.0f MB = %.2f x file + image (%.0f MB)%s\n",
                ("q6tool render to PNG " + size).c_str(), tToolPng, mb / tToolPng, memPng / 1024.0,
                (memPng * 1024.0 - image) / static_cast<double>(st.st_size), image / 1048576.0, okPng ? "" : "  FAILED");
    std::printf("ratios          SVG to file / raw write %.2f\n", tRaw / tSvgFile);
    return 0;
}
