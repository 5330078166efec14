// q6-thumbnailer run as a file manager runs it, its PNG read back with Qt.
#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PixelChecks.h"

namespace {

namespace fs = std::filesystem;

const std::string kTool = std::string(Q6_BIN_DIR) + "/q6-thumbnailer";
const std::string kSample = std::string(Q6_SOURCE_DIR) + "/samples/sample.q6";

class Thumbnailer : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/q6thumbXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    // The exit status of the tool with these arguments (each quoted).
    static int Run(const std::vector<std::string>& args)
    {
        std::string cmd = "'" + kTool + "'";
        for (const std::string& a : args) cmd += " '" + a + "'";
        cmd += " 2>/dev/null";
        const int st = std::system(cmd.c_str());
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    static void WriteBytes(const std::string& fn, const std::string& bytes)
    {
        std::ofstream(fn, std::ios::binary) << bytes;
    }
    static std::string ReadBytes(const std::string& fn)
    {
        std::ifstream f(fn, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }

    fs::path dir_;
};

TEST_F(Thumbnailer, DrawsTheSampleWithinTheSizeKeepingItsAspect)
{
    QImage first;
    for (int size : {256, 128, 37}) {
        const std::string out = Path("t" + std::to_string(size) + ".png");
        ASSERT_EQ(Run({"-s", std::to_string(size), kSample, out}), 0) << size;
        QImage img;
        ASSERT_TRUE(img.load(QString::fromStdString(out), "PNG")) << size;
        EXPECT_EQ(std::max(img.width(), img.height()), size);
        EXPECT_LE(std::min(img.width(), img.height()), size);
        // Not blank: ink, and white around it.
        std::size_t ink = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) ink += px::Inked(img.pixel(x, y));
        const auto all = static_cast<std::size_t>(img.width()) * static_cast<std::size_t>(img.height());
        EXPECT_GT(ink, all / 200) << size;
        EXPECT_LT(ink, all / 2) << size;
        if (first.isNull()) {
            first = img;
        } else {
            // The same picture, smaller: the aspect holds to a pixel.
            const double a = static_cast<double>(first.width()) / first.height();
            EXPECT_NEAR(static_cast<double>(img.width()) / img.height(), a, 2.0 / img.height());
        }
        // The PNG says what it drew.
        EXPECT_TRUE(img.text("Description").contains("drawn ")) << img.text("Description").toStdString();
    }
    // The joined -s128 form too.
    EXPECT_EQ(Run({"-s128", kSample, Path("joined.png")}), 0);
    EXPECT_EQ(ReadBytes(Path("joined.png")), ReadBytes(Path("t128.png")));
}

TEST_F(Thumbnailer, AFileThatDoesNotLoadWritesNothing)
{
    const std::string sample = ReadBytes(kSample);
    // The first entity chunk: walk the 8-byte chunk headers (identifier and
    // version, 16 bits each, then the payload length, 32 bits, little-endian).
    auto u = [&](std::size_t at, int n) {
        std::uint32_t v = 0;
        for (int k = n - 1; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(sample[at + static_cast<std::size_t>(k)]);
        return v;
    };
    std::size_t entity = 0;
    while (entity + 8 <= sample.size() && u(entity, 2) < 2000) entity += 8 + u(entity + 4, 4);
    ASSERT_LT(entity + 8, sample.size());
    // Cut inside the header of the first entity, and an entity of no known kind.
    const std::string truncated = Path("truncated.q6");
    WriteBytes(truncated, sample.substr(0, entity + 5));
    std::string unknown = sample;
    unknown[entity] = '\x0f';
    unknown[entity + 1] = '\x27';  // 9999
    WriteBytes(Path("unknown.q6"), unknown);
    const std::string text = Path("text.q6");
    WriteBytes(text, "not a drawing\n");
    const std::string empty = Path("empty.q6");
    WriteBytes(empty, "");
    for (const std::string& in : {truncated, Path("unknown.q6"), text, empty, Path("missing.q6"), dir_.string()}) {
        const std::string out = Path("out.png");
        EXPECT_EQ(Run({"-s", "128", in, out}), 1) << in;
        EXPECT_FALSE(fs::exists(out)) << in;
        // An earlier picture stays as it was.
        WriteBytes(out, "earlier");
        EXPECT_EQ(Run({"-s", "128", in, out}), 1) << in;
        EXPECT_EQ(ReadBytes(out), "earlier") << in;
        fs::remove(out);
    }
    // Nothing is left beside the output either.
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir_)) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"empty.q6", "text.q6", "truncated.q6", "unknown.q6"}));
    // An output that cannot be written: exit 1.
    EXPECT_EQ(Run({"-s", "64", kSample, Path("no/folder/out.png")}), 1);
}

TEST_F(Thumbnailer, UsageErrors)
{
    const std::string out = Path("out.png");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {kSample, out},
             {"-s", kSample, out},
             {"-s", "0", kSample, out},
             {"-s", "4097", kSample, out},
             {"-s", "12x", kSample, out},
             {"-s", "-5", kSample, out},
             {"-s", "64", kSample},
             {"-s", "64", kSample, out, out},
             {"-x", "-s", "64", kSample, out},
         }) {
        std::string shown;
        for (const std::string& a : args) shown += a + " ";
        EXPECT_EQ(Run(args), 2) << shown;
        EXPECT_FALSE(fs::exists(out)) << shown;
    }
    EXPECT_EQ(Run({"--help"}), 0);
}

}  // namespace
