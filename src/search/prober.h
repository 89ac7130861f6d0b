// The vendored Syzygy prober's interface. It lives in a namespace of its
// own: some of its type names are the engine's too.
#pragma once

#include <stdbool.h>
#include <stdint.h>

namespace fathom {
#include <tbprobe.h>
}
