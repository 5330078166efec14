// Any bytes that load: load, save, load, save; the two saves must agree.
#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzMain.h"

Q6_FUZZ_TARGET(fuzzcheck::CheckSaveIsStable)
