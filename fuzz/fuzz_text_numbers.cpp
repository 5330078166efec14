// FloatStr against its reference, ShortestChars against std::to_chars; code page 932 texts and fixed fields.
#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzMain.h"

Q6_FUZZ_TARGET(fuzzcheck::CheckTextAndNumbers)
