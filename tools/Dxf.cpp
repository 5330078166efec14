// q6tool dxf: the drawing's scene written as DXF.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Q6Draw/Scene.h"
#include "Q6Dxf/Export.h"
#include "Q6Unit/Q6Data.h"
#include "Q6Unit/Files.h"
#include "Unit1/Flows.h"
#include "tools/Commands.h"

namespace {

std::string DxfHelp()
{
    std::string h =
        "Usage: q6tool dxf FILE OUT.dxf [--assume KEY=VALUE]... [--text-font NAME]\n"
        "\n"
        "Writes the drawing FILE as a DXF drawing (R2007, AC1021; texts in UTF-8) to OUT.dxf,\n"
        "which is replaced only once it is complete. What is drawn, and how, is the same as\n"
        "for render: the file does not state units, colours, layers, angle direction and more,\n"
        "so each such choice is an assumption with a default that --assume changes.\n"
        "\n"
        "Mapping: points POINT; lines LINE; circles CIRCLE, arcs ARC (degrees); ellipses\n"
        "ELLIPSE; texts TEXT with their height and rotation; cubic Bezier curves SPLINE\n"
        "(degree 3, exact); other Bezier curves their control polygon as LWPOLYLINE;\n"
        "polylines open and polygons closed LWPOLYLINE; bitmaps, symbols and mapped fills a\n"
        "closed LWPOLYLINE frame with two LINE diagonals; groups nothing. Each entity is on a\n"
        "layer named by its kind (\"line\", \"text with style\", ...). With colour=bgr or\n"
        "colour=rgb every entity takes its colour as a true colour.\n"
        "\n"
        "--text-font NAME names the one text style and its font file NAME (default: the style\n"
        "\"Standard\" with the font \"txt\"); readers without the font substitute their own.\n"
        "LibreCAD takes the font by the style's name: --text-font kst32b shows Japanese there.\n"
        "\n"
        "Assumptions (KEY=VALUE, default first):\n";
    for (const auto& k : q6draw::Assumptions::Keys()) {
        h += "  ";
        h += k.key;
        h += '=';
        h += k.byDefault;
        h += "  (";
        h += k.values;
        h += ")\n      ";
        h += k.meaning;
        h += '\n';
    }
    h +=
        "\n"
        "Standard output: the line \"drawn N, approximated M, skipped K\", one line per kind and\n"
        "reason, then the count of each DXF entity type written. The assumptions and the same\n"
        "summary are written into the DXF file as comments (group 999) at its top.\n"
        "Exit 0 when written, 1 when FILE does not load or OUT cannot be written (OUT is then\n"
        "left as it was), 2 for a usage error.\n";
    return h;
}

int DxfUsage(const std::string& message)
{
    std::fprintf(stderr, "q6tool dxf: %s\n(q6tool dxf --help tells more)\n", message.c_str());
    return 2;
}

}  // namespace

int DxfCommand(const std::vector<std::string>& args)
{
    std::vector<std::string> files;
    q6draw::Assumptions assumed;
    q6dxf::ExportOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(DxfHelp().c_str(), stdout);
            return 0;
        }
        std::string kv;
        if (a == "--assume") {
            if (i + 1 == args.size()) return DxfUsage("--assume needs KEY=VALUE");
            kv = args[++i];
        } else if (a.rfind("--assume=", 0) == 0) {
            kv = a.substr(9);
        } else if (a == "--text-font" || a.rfind("--text-font=", 0) == 0) {
            if (a == "--text-font" && i + 1 == args.size()) return DxfUsage("--text-font needs a name");
            options.textFont = a == "--text-font" ? args[++i] : a.substr(12);
            if (!q6dxf::ValidStyleName(options.textFont))
                return DxfUsage("--text-font takes a name of 1 to 255 bytes without control characters or any of "
                                "<>/\\\":;?*|=`");
            continue;
        } else if (a.size() > 1 && a[0] == '-') {
            return DxfUsage("unknown option " + a);
        } else {
            files.push_back(a);
            continue;
        }
        if (const std::string why = assumed.Set(kv); !why.empty()) return DxfUsage(why);
    }
    if (files.size() != 2) return DxfUsage("takes a drawing and an output file");
    const std::string& in = files[0];
    const std::string& out = files[1];

    q6draw::Scene scene;
    {
        TQ6Data doc;
        const OpenOutcome r = OpenDrawing(doc, in);
        if (r != OpenOutcome::Loaded) {
            std::fprintf(stderr, "q6tool: %s: %s\n", in.c_str(), OpenFailureLine(r));
            return 1;
        }
        scene = q6draw::Scene::Build(doc, assumed);
    }  // the document goes; the scene holds all that is written

    q6dxf::ExportStats stats;
    int sinkErr = 0;  // why a write into the new file failed
    int replaceErr = 0;  // why the new file could not be made or take its place
    const bool ok = ReplaceFile(
        out,
        [&](int fd) {
            q6dxf::FdSink sink(fd);
            const bool written = q6dxf::ExportDxf(scene, sink, &stats, options);
            if (!written) sinkErr = sink.Errno();
            return written;
        },
        &replaceErr);
    if (!ok) {
        const int err = sinkErr ? sinkErr : replaceErr;
        std::fprintf(stderr, "q6tool: cannot write %s%s%s\n", out.c_str(), err ? ": " : "", err ? std::strerror(err) : "");
        return 1;
    }
    std::string text;
    for (const std::string& l : scene.SummaryLines()) {
        text += l;
        text += '\n';
    }
    text += stats.Line();
    text += '\n';
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) NoteStdoutError(errno);
    return 0;
}
