// The body of every fuzz target: run one check, and stop with the check's
// description when it fails, so that libFuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#define Q6_FUZZ_TARGET(check)                                                   \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) \
    {                                                                           \
        const std::string failure = check(std::span<const std::uint8_t>(data, size)); \
        if (!failure.empty()) {                                                 \
            std::fprintf(stderr, "check failed: %s\n", failure.c_str());        \
            std::abort();                                                       \
        }                                                                       \
        return 0;                                                               \
    }
