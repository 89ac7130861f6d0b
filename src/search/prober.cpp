// The vendored Syzygy prober, compiled as C++ with each build's own flags:
// its table locks then use std::mutex, and the 32-bit build probes through
// the same code. The system headers it includes come first, outside its
// namespace.
#include <assert.h>
#include <byteswap.h>
#include <endian.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#if defined(__x86_64__) && defined(__SSE4_2__)
#include <popcntintrin.h>
#endif

#include "prober.h"

namespace fathom {
#include "../../third_party/fathom/tbprobe.c"
}
