// Settings that jemalloc reads from the program at its start; a MALLOC_CONF in the
// environment still overrides them. A background thread gives freed memory back within about a
// second, so that closing a large log returns its memory while the window sits idle; without
// it, jemalloc gives memory back only on later allocations. No huge pages: zeroing whole 2 MiB
// pages made opening slower here, and small logs larger.
extern "C" {
const char *malloc_conf = "thp:never,background_thread:true,dirty_decay_ms:1000";
}
