// make_large_drawing OUT.q6 N [points|mixed [SEED]]: writes a drawing of N
// entities with our own writer: N points, or random entities of every kind.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Q6Unit/Q6Data.h"
#include "support/RandomDoc.h"

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "Usage: make_large_drawing OUT.q6 N [points|mixed [SEED]]\n");
        return 2;
    }
    const long n = std::strtol(argv[2], nullptr, 10);
    const std::string mode = argc >= 4 ? argv[3] : "points";
    if (n < 0 || n > 100'000'000 || (mode != "points" && mode != "mixed")) {
        std::fprintf(stderr, "make_large_drawing: bad arguments\n");
        return 2;
    }
    TQ6Data d;
    if (mode == "mixed") {
        RandomDocOptions opt;
        opt.entities = static_cast<int>(n);
        opt.maxPoints = 8;
        opt.maxImage = 64;
        RandomDocument(d, argc == 5 ? std::strtoull(argv[4], nullptr, 10) : 1, opt);
    } else {
        d.Title = "大きな図面";
        const auto count = static_cast<std::size_t>(n);
        d.pt.SetLength(count);
        d.Ent.SetLength(count);
        for (std::size_t i = 0; i < count; ++i) {
            auto& p = d.pt[i];
            p.obj.id = static_cast<std::int32_t>(i + 1);
            p.obj.cotype = 1;
            p.pos = TDPoint{static_cast<double>(i % 1000) * 0.5, static_cast<double>(i / 1000) * 0.25};
            d.Ent[i] = TQ6EntNo{200120, static_cast<std::int32_t>(i)};
        }
        d.ptN = static_cast<std::int32_t>(n);
        d.EntN = static_cast<std::int32_t>(n);
    }
    if (!d.FileOut(argv[1])) {
        std::fprintf(stderr, "make_large_drawing: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
