// FloatStr against its reference; code page 932 texts and fixed fields.
#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzMain.h"

Q6_FUZZ_TARGET(fuzzcheck::CheckTextAndNumbers)
