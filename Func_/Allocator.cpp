// The programs' memory comes from jemalloc, set to mark what it takes from
// the system for transparent huge pages. A large drawing's load is a
// million small allocations of fresh memory; with small pages each 4 KiB of
// it costs a fault, with huge pages each 2 MiB does. Where the system gives
// no huge pages (its setting "never"), jemalloc works with small ones.
//
// Linked into the programs only (CMake's q6_use_allocator), never into the
// libraries or the sanitizer builds, which bring their own allocator.
extern "C" {
// Read by jemalloc as it starts; MALLOC_CONF in the environment still
// overrides it.
extern const char* malloc_conf;
const char* malloc_conf = "thp:always,metadata_thp:auto";
}
