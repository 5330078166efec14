// Any bytes: load them and draw them to SVG and to a small image in memory.
#include "fuzz/FuzzMain.h"
#include "fuzz/RenderCheck.h"

Q6_FUZZ_TARGET(fuzzcheck::CheckRender)
