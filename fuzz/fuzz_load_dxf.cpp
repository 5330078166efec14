// Any bytes: load them and write the drawing as DXF in memory; the output is
// well-formed tag pairs whose entities are the ones counted.
#include "fuzz/DxfCheck.h"
#include "fuzz/FuzzMain.h"

Q6_FUZZ_TARGET(fuzzcheck::CheckLoadDxf)
