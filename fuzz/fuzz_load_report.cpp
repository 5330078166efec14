// Any bytes: load them as the viewer opens a file and write the report; one
// input in eight is also loaded as a file and compared.
#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzMain.h"

namespace {
std::string Check(std::span<const std::uint8_t> bytes)
{
    return fuzzcheck::CheckLoadAndReport(bytes, fuzzcheck::SampledForFile(bytes));
}
}  // namespace

Q6_FUZZ_TARGET(Check)
