// q6tool render: the drawing as SVG, PNG or PDF.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "Func_/Func_.h"
#include "Q6Draw/Scene.h"
#include "Q6Draw/Svg.h"
#include "Q6Unit/Files.h"
#include "Q6Unit/Q6Data.h"
#include "Unit1/Flows.h"
#include "tools/Commands.h"

#ifdef Q6_WITH_PAINT
#include <QGuiApplication>

#include "Q6Draw/Paint.h"
#endif

namespace {

const char* const kRenderUsage =
    "Usage: q6tool render FILE OUT [--size WxH] [--view X0,Y0,X1,Y1] [--assume KEY=VALUE]... [--progress]\n"
    "\n"
    "Draws the drawing FILE into OUT, as SVG, PNG or PDF by OUT's suffix (.svg, .png, .pdf).\n"
    "  --size WxH          the output's size in pixels (PDF: points), 1 to 32767 each.\n"
    "                      By default 1024 on the longer side, keeping the view's aspect.\n"
    "  --view X0,Y0,X1,Y1  the rectangle of drawing coordinates that fills the output: X0 at\n"
    "                      the left, X1 at the right, Y1 at the top, Y0 at the bottom (with\n"
    "                      --assume y=down, Y0 at the top). When its\n"
    "                      aspect differs from --size it grows about its centre. By default the\n"
    "                      extent of what is drawn and a small margin.\n"
    "  --assume KEY=VALUE  changes an interpretation of what the file does not state:\n"
    "%KEYS%"
    "  --progress          reports the steps of the work on standard error (done anyway\n"
    "                      when standard error is a terminal).\n"
    "\n"
    "The first line on standard output is \"drawn N, approximated M, skipped K\" (N + M + K\n"
    "is the number of entities), then one line per kind, status and reason. The assumptions\n"
    "and the summary also go into the SVG's <desc>, the PNG's Description text and the PDF's\n"
    "metadata. OUT is replaced only once it is complete.\n"
    "Exit 0 when written, 1 when FILE does not load or OUT cannot be written (nothing is\n"
    "written then), 2 for a usage error.\n";

std::string RenderUsageText()
{
    std::string keys;
    for (const auto& k : q6draw::Assumptions::Keys()) {
        std::string l = "      ";
        l += k.key;
        l += '=';
        l += k.values;
        l += " (default ";
        l += k.byDefault;
        l += "): ";
        l += k.meaning;
        keys += l + "\n";
    }
    std::string t = kRenderUsage;
    t.replace(t.find("%KEYS%"), 6, keys);
    return t;
}

int RenderUsage(const std::string& message)
{
    std::fprintf(stderr, "q6tool render: %s\n\n%s", message.c_str(), RenderUsageText().c_str());
    return 2;
}

bool ParseInt(std::string_view s, int& v)
{
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool ParseSize(std::string_view s, int& w, int& h)
{
    const auto x = s.find_first_of("xX");
    if (x == std::string_view::npos) return false;
    if (!ParseInt(s.substr(0, x), w) || !ParseInt(s.substr(x + 1), h)) return false;
    return w >= 1 && h >= 1 && w <= 32767 && h <= 32767;
}

bool ParseView(std::string_view s, q6draw::View& v)
{
    double d[4];
    for (int i = 0; i < 4; ++i) {
        const auto comma = i < 3 ? s.find(',') : s.size();
        if (comma == std::string_view::npos) return false;
        const std::string_view part = s.substr(0, comma);
        const auto r = std::from_chars(part.data(), part.data() + part.size(), d[i]);
        if (part.empty() || r.ec != std::errc() || r.ptr != part.data() + part.size() || !std::isfinite(d[i]))
            return false;
        s = i < 3 ? s.substr(comma + 1) : std::string_view();
    }
    v = {d[0], d[1], d[2], d[3]};
    return v.x0 < v.x1 && v.y0 < v.y1 && std::isfinite(v.x1 - v.x0) && std::isfinite(v.y1 - v.y0);
}

enum class Format { Svg, Png, Pdf };

bool FormatOf(const std::string& out, Format& f)
{
    const std::string ext = UpperStr(ExtensionOf(out));
    if (ext == ".SVG") f = Format::Svg;
    else if (ext == ".PNG") f = Format::Png;
    else if (ext == ".PDF") f = Format::Pdf;
    else return false;
    return true;
}

#ifdef Q6_WITH_PAINT
// The painter needs the font database of a GUI application; none is shown.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    if (text.contains(QLatin1String("XDG_RUNTIME_DIR"))) return;
    std::fprintf(stderr, "q6tool: %s\n", text.toLocal8Bit().constData());
}
#endif

// The steps of a long render on standard error: one line rewritten in place
// on a terminal, a line per step (and per tenth of the drawing) otherwise.
class Progress {
public:
    Progress(bool on, std::string file) : on_(on), tty_(::isatty(STDERR_FILENO) == 1), file_(std::move(file)) {}
    ~Progress() { Done(); }
    void Step(const char* what)
    {
        if (!on_) return;
        step_ = what;
        shown_ = -1;
        Show(std::string(what));
    }
    void Fraction(double f)
    {
        if (!on_) return;
        const int pc = static_cast<int>(std::clamp(f, 0.0, 1.0) * 100);
        if (tty_ ? pc == shown_ : pc / 10 == shown_ / 10 && shown_ >= 0) return;
        shown_ = pc;
        char num[8];
        const auto r = std::to_chars(num, num + sizeof num, pc);
        Show(step_ + " " + std::string(num, r.ptr) + "%");
    }
    // clears the line on a terminal
    void Done()
    {
        if (!on_ || !tty_ || width_ == 0) return;
        std::fprintf(stderr, "\r%*s\r", static_cast<int>(width_), "");
        std::fflush(stderr);
        width_ = 0;
    }

private:
    void Show(const std::string& what)
    {
        const std::string line = "q6tool render: " + file_ + ": " + what;
        if (tty_) {
            std::fprintf(stderr, "\r%s%*s", line.c_str(),
                         static_cast<int>(width_ > line.size() ? width_ - line.size() : 0), "");
            width_ = line.size();
        } else {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
        std::fflush(stderr);
    }
    bool on_, tty_;
    std::string file_, step_;
    int shown_ = -1;
    std::size_t width_ = 0;
};

// Entities interpreted at a time: small enough that a batch's scene is a
// few megabytes at most, large enough that handing it over costs nothing.
constexpr std::size_t kBatch = 8192;

// A sink that interprets each entity into `stream` and calls `full` with each
// full batch (its result goes on or ends the load); a lack of memory sets
// `noMemory` and ends the load.
EntitySink Interpreting(q6draw::SceneStream& stream, bool& noMemory, const std::function<bool()>& full)
{
    return [&stream, &noMemory, &full](const TQ6EntNo& en, const void* record) {
        try {
            stream.Add(en, record);
        } catch (const std::bad_alloc&) {
            noMemory = true;
            return false;
        }
        return stream.BatchSize() < kBatch || full();
    };
}

// The drawing pass: reads the file again and hands its entities, interpreted
// in batches, to `draw` in file order. The file must give the entities that
// the first pass counted, with the same summary; otherwise (the file changed
// in between) or when memory runs out, nothing is drawn in full and Explain
// says why.
struct DrawPass {
    const std::string& file;
    const q6draw::Assumptions& assume;
    const std::vector<std::string>& summary;
    std::size_t total;
    Progress& progress;
    bool noMemory = false, changed = false;

    // `threaded`: the load and the interpretation run on a thread of their
    // own while `draw` takes the batch before.
    // `ahead`, when given, lets the reading thread make a batch's output
    // itself when the drawing side is still busy with the batch before;
    // `drawMade` then takes that output in its turn.
    using Ahead = std::function<void(const q6draw::Scene&, q6draw::SvgText&)>;
    using DrawMade = std::function<bool(std::string_view)>;
    bool Run(bool threaded, const std::function<bool(const q6draw::Scene&)>& draw, const Ahead& ahead = {},
             const DrawMade& drawMade = {})
    {
        return threaded && std::thread::hardware_concurrency() > 1 ? Overlapped(draw, ahead, drawMade)
                                                                   : Inline(draw);
    }

    // Says why the pass failed, if it did for a reason of its own.
    bool Explain() const
    {
        if (noMemory) std::fprintf(stderr, "q6tool: %s: not enough memory to draw it\n", file.c_str());
        else if (changed) std::fprintf(stderr, "q6tool: %s: the file changed while it was drawn\n", file.c_str());
        return noMemory || changed;
    }

private:
    // Loads the file, giving each full batch (and the last) to `hand`; false
    // when the load or `hand` fails.
    bool Load(const std::function<bool(q6draw::SceneStream&)>& hand)
    {
        TQ6Data doc;
        q6draw::SceneStream stream(doc, assume);
        bool handed = true;
        const std::function<bool()> full = [&] { return handed = hand(stream); };
        const EntitySink sink = Interpreting(stream, noMemory, full);
        const bool loaded = doc.FileIn(file, sink);
        if (!handed) return false;
        if (loaded && stream.BatchSize() && !hand(stream)) return false;
        if (!loaded || static_cast<std::size_t>(std::max(0, doc.EntN)) != total ||
            stream.Batch().SummaryLines() != summary) {
            if (!noMemory) changed = true;
            return false;
        }
        return true;
    }

    void Tell(std::size_t done)
    {
        progress.Fraction(total ? static_cast<double>(done) / static_cast<double>(total) : 1.0);
    }

    bool Inline(const std::function<bool(const q6draw::Scene&)>& draw)
    {
        std::size_t done = 0;
        return Load([&](q6draw::SceneStream& s) {
            const bool r = draw(s.Batch());
            done += s.BatchSize();
            s.Clear();
            Tell(done);
            return r;
        });
    }

    bool Overlapped(const std::function<bool(const q6draw::Scene&)>& draw, const Ahead& ahead,
                    const DrawMade& drawMade)
    {
        std::mutex m;
        std::condition_variable cv;
        // the batch handed over, when `full`: its scene, or the output made
        // of it (`made`), and its number of items
        q6draw::Scene slot;
        q6draw::SvgText slotMade;
        bool made = false;
        std::size_t slotItems = 0;
        bool full = false, finished = false, stop = false, loaded = false;
        std::thread reader([&] {
            q6draw::SvgText mine;
            const bool r = Load([&](q6draw::SceneStream& s) {
                std::unique_lock<std::mutex> l(m);
                bool own = false;
                if (full && ahead && !stop) {
                    l.unlock();
                    mine.Clear();
                    ahead(s.Batch(), mine);
                    own = true;
                    l.lock();
                }
                cv.wait(l, [&] { return !full || stop; });
                if (stop) return false;
                slotItems = s.BatchSize();
                made = own;
                if (own) {
                    std::swap(mine, slotMade);
                    s.Clear();
                } else {
                    s.MoveBatch(slot);
                }
                full = true;
                cv.notify_all();
                return true;
            });
            std::lock_guard<std::mutex> l(m);
            loaded = r;
            finished = true;
            cv.notify_all();
        });
        q6draw::Scene work;
        q6draw::SvgText workMade;
        bool drawn = true;
        std::size_t done = 0;
        for (;;) {
            bool isMade = false;
            std::size_t items = 0;
            {
                std::unique_lock<std::mutex> l(m);
                cv.wait(l, [&] { return full || finished; });
                if (!full) break;
                isMade = made;
                items = slotItems;
                if (isMade) std::swap(workMade, slotMade);
                else std::swap(work, slot);
                full = false;
                cv.notify_all();
            }
            if (!(isMade ? drawMade(workMade.View()) : draw(work))) {
                drawn = false;
                std::lock_guard<std::mutex> l(m);
                stop = true;
                cv.notify_all();
                break;
            }
            done += items;
            Tell(done);
        }
        reader.join();
        return drawn && loaded;
    }
};

}  // namespace

int RenderCommand(const std::vector<std::string>& args)
{
    std::vector<std::string> files;
    q6draw::Assumptions assume;
    q6draw::View view;
    bool haveView = false, haveSize = false, progressAsked = false;
    int w = 0, h = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(RenderUsageText().c_str(), stdout);
            return 0;
        }
        if (a == "--progress") {
            progressAsked = true;
            continue;
        }
        std::string value;
        bool option = false;
        for (const char* name : {"--size", "--view", "--assume"}) {
            const std::string n = name;
            if (a == n) {
                if (i + 1 >= args.size()) return RenderUsage(n + " needs a value");
                value = args[++i];
            } else if (a.rfind(n + "=", 0) == 0) {
                value = a.substr(n.size() + 1);
            } else {
                continue;
            }
            option = true;
            a = n;
            break;
        }
        if (!option) {
            if (a.size() > 1 && a[0] == '-' && a != "-") return RenderUsage("unknown option " + a);
            files.push_back(a);
            continue;
        }
        if (a == "--size") {
            if (!ParseSize(value, w, h)) return RenderUsage("--size takes WxH, each 1 to 32767, not \"" + value + "\"");
            haveSize = true;
        } else if (a == "--view") {
            if (!ParseView(value, view))
                return RenderUsage("--view takes four finite numbers X0,Y0,X1,Y1 with X0 < X1 and Y0 < Y1, not \"" +
                                   value + "\"");
            haveView = true;
        } else {
            const std::string why = assume.Set(value);
            if (!why.empty()) return RenderUsage(why);
        }
    }
    if (files.size() != 2) return RenderUsage("render takes a drawing and an output file");
    Format format;
    if (!FormatOf(files[1], format)) return RenderUsage("the output's suffix must be .svg, .png or .pdf");
#ifndef Q6_WITH_PAINT
    if (format != Format::Svg) {
        std::fprintf(stderr, "q6tool: this q6tool was built without Qt: it writes SVG only\n");
        return 1;
    }
#endif
    if (haveSize && static_cast<long long>(w) * h > (1LL << 28) && format != Format::Svg)
        return RenderUsage("--size: at most 268435456 pixels for PNG and PDF");

    Progress progress(progressAsked || ::isatty(STDERR_FILENO) == 1, files[0]);
    // The first pass loads the whole file, as every command does, and
    // interprets each entity as it is read, keeping only the counts and the
    // extent: it decides whether the file loads before anything is written,
    // and gives the default view and the summary. The drawing pass reads the
    // file again and draws its entities in batches. Neither keeps the
    // drawing's entities or its whole scene, so that memory stays near the
    // output's own.
    bool noMemory = false;
    TQ6Data head;
    q6draw::SceneStream counted(head, assume);
    const std::function<bool()> clear = [&] {
        counted.Clear();
        return true;
    };
    const EntitySink count = Interpreting(counted, noMemory, clear);
    progress.Step("loading");
    if (!OpenOrExplain(head, files[0], count)) {
        progress.Done();
        if (noMemory) std::fprintf(stderr, "q6tool: %s: not enough memory to draw it\n", files[0].c_str());
        return 1;
    }
    counted.Clear();
    const q6draw::Scene& totals = counted.Batch();
    if (!haveView) view = q6draw::DefaultView(totals.Extent());
    if (!haveSize) q6draw::SizeFor(view, 1024, w, h);
    view = q6draw::FitAspect(view, w, h);
    const std::vector<std::string> summary = totals.SummaryLines();
    std::vector<std::string> describe;
    describe.push_back("Drawn by q6tool render from " + files[0] + ". Assumptions:");
    for (auto& l : assume.Describe()) describe.push_back(std::move(l));
    describe.emplace_back("Summary:");
    describe.insert(describe.end(), summary.begin(), summary.end());

    DrawPass pass{files[0], assume, summary, static_cast<std::size_t>(std::max(0, head.EntN)), progress};
    int err = 0;
    bool ok = false;
    if (format == Format::Svg) {
        progress.Step("writing SVG");
        ok = ReplaceFile(files[1], [&](int fd) {
            q6draw::SvgWriter svg(assume, view, w, h, [&](std::string_view piece) {
                const bool r = WriteAll(fd, piece);
                if (!r && !err) err = errno;
                return r;
            });
            // the SVG is made and written here while the file is read and
            // interpreted on a thread of its own
            // (and made there too whenever this side is still busy)
            return svg.Head(describe) &&
                   pass.Run(
                       true, [&](const q6draw::Scene& b) { return svg.Items(b); },
                       [&](const q6draw::Scene& b, q6draw::SvgText& out) { svg.Format(b, out); },
                       [&](std::string_view made) { return svg.Formatted(made); }) &&
                   svg.Tail();
        });
    } else {
#ifdef Q6_WITH_PAINT
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(QuietMessages);
        static int argc = 1;
        static char name[] = "q6tool";
        static char* argv[] = {name, nullptr};
        QGuiApplication app(argc, argv);
        q6draw::PaintOptions po;
        progress.Step("drawing");
        const q6draw::PaintFeed feed = [&](q6draw::PaintStream& ps) {
            const bool r = pass.Run(false, [&](const q6draw::Scene& b) {
                ps.Items(b);
                return true;
            });
            progress.Step(format == Format::Png ? "encoding PNG" : "finishing PDF");
            return r;
        };
        auto cannotMake = [&] {
            progress.Done();
            if (!pass.Explain())
                std::fprintf(stderr, "q6tool: cannot make the %s image (not enough memory?)\n",
                             format == Format::Png ? "PNG" : "PDF");
            return 1;
        };
        auto write = [&](int fd, std::string_view b) {
            const bool r = WriteAll(fd, b);
            if (!r && !err) err = errno;
            return r;
        };
        if (format == Format::Png) {
            const QImage img = q6draw::RenderImage(feed, assume, view, QSize(w, h), po);
            if (img.isNull()) return cannotMake();
            const bool grey = assume.colour == q6draw::Assumptions::Colour::None;
            ok = ReplaceFile(files[1], [&](int fd) {
                return q6draw::WritePng(img, grey, describe, [&](std::string_view b) { return write(fd, b); });
            });
        } else {
            const QByteArray bytes = q6draw::PdfBytes(feed, assume, view, QSize(w, h), files[0], describe, po);
            if (bytes.isEmpty()) return cannotMake();
            progress.Step("writing");
            ok = ReplaceFile(files[1], [&](int fd) {
                return write(fd, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
            });
        }
#endif
    }
    if (!ok && format == Format::Svg && pass.Explain()) {
        progress.Done();
        return 1;
    }
    progress.Done();
    if (!ok) {
        if (!err) err = errno;
        std::fprintf(stderr, "q6tool: cannot write %s%s%s\n", files[1].c_str(), err ? ": " : "",
                     err ? std::strerror(err) : "");
        return 1;
    }
    std::string text;
    for (const auto& l : summary) text += l + "\n";
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) NoteStdoutError(errno);
    return 0;
}
