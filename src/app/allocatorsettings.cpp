// Settings that jemalloc reads from the program at its start; a MALLOC_CONF in the
// environment still overrides them. A background thread gives freed memory back within about a
// second, so that closing a large log returns its memory while the window sits idle; without
// it, jemalloc gives memory back only on later allocations. Huge pages: opening a log fills
// well over a hundred megabytes of fresh index columns, and on virtual machines a fault for
// every 4 KiB page cost about as much as the scan itself; a small log takes a few megabytes
// more for it.
extern "C" {
const char *malloc_conf = "thp:always,background_thread:true,dirty_decay_ms:1000";
}
