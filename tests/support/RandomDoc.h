// Seeded random documents for round-trip tests, fuzz seeds and benchmarks.
#pragma once

#include <cstdint>
#include <string>

class TQ6Data;

struct RandomDocOptions {
    int entities = 60;          // number of entity chunks
    bool normalized = true;     // texts fit their fields, second text styles pass the name test:
                                // saving and loading such a document changes nothing but scales
    int maxPoints = 40;
    int maxImage = 600;
};

// Fills `doc` (after DataFree) with random settings and entities of every
// kind: reserved bytes, Japanese and ASCII texts, doubles of every magnitude,
// NaN payloads, negative zeros, infinities.
void RandomDocument(TQ6Data& doc, std::uint64_t seed, const RandomDocOptions& opt = {});

// A random text of valid code page 932 characters taking at most maxBytes bytes.
std::string RandomText(std::uint64_t& state, int maxBytes);
