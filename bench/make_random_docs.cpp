// Writes seeded random drawings for comparing the outputs of two builds:
//   make_random_docs OUTDIR COUNT [--seed N]
// For each i below COUNT: OUTDIR/doc-i.q6, a random document of every kind
// (Japanese and ASCII texts, doubles of every magnitude, NaN payloads,
// negative zeros, infinities; every other one with texts longer than their
// fields), and for every fourth one two damaged copies: cut-i.q6, cut at a
// random offset, and flip-i.q6, with one byte changed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "Q6Unit/Q6Data.h"
#include "support/RandomDoc.h"

namespace {

bool Put(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f.flush());
}

std::uint64_t Mix(std::uint64_t& s)
{
    std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "Usage: make_random_docs OUTDIR COUNT [--seed N]\n");
        return 2;
    }
    const std::string dir = argv[1];
    char* end = nullptr;
    const long count = std::strtol(argv[2], &end, 10);
    if (*end || count < 0) {
        std::fprintf(stderr, "make_random_docs: COUNT must be a number, not %s\n", argv[2]);
        return 2;
    }
    std::uint64_t seed = 1;
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seed") && i + 1 < argc) {
            seed = std::strtoull(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "make_random_docs: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::uint64_t s = seed;
    for (long i = 0; i < count; ++i) {
        TQ6Data d;
        RandomDocOptions opt;
        opt.entities = 1 + static_cast<int>(Mix(s) % 120);
        opt.normalized = i % 2 == 0;
        RandomDocument(d, seed * 1000003 + static_cast<std::uint64_t>(i), opt);
        std::string bytes;
        if (!d.MemOut(bytes)) {
            std::fprintf(stderr, "make_random_docs: document %ld cannot be written\n", i);
            return 1;
        }
        const std::string n = std::to_string(i);
        std::string cut = bytes.substr(0, static_cast<std::size_t>(Mix(s) % bytes.size()));
        std::string flip = bytes;
        flip[static_cast<std::size_t>(Mix(s) % flip.size())] ^= static_cast<char>(1 + Mix(s) % 255);
        if (!Put(dir + "/doc-" + n + ".q6", bytes) ||
            (i % 4 == 0 && (!Put(dir + "/cut-" + n + ".q6", cut) || !Put(dir + "/flip-" + n + ".q6", flip)))) {
            std::fprintf(stderr, "make_random_docs: cannot write into %s\n", dir.c_str());
            return 1;
        }
    }
    std::printf("%s: %ld documents, every fourth with a cut and a changed copy\n", dir.c_str(), count);
    return 0;
}
