// Any bytes as JSON for build: refusals name their place; what is accepted
// saves, loads, and goes through JSON again to the same bytes.
#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzMain.h"

Q6_FUZZ_TARGET(fuzzcheck::CheckBuildJson)
