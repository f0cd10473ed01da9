// Settings that jemalloc reads from the program at its start; a MALLOC_CONF in the
// environment still overrides them. Huge pages: on virtual machines a first touch of fresh
// memory costs far more per 4 KiB page than per 2 MiB page, and a large log is gigabytes of
// fresh memory.
extern "C" {
const char *malloc_conf = "thp:always,metadata_thp:always";
}
