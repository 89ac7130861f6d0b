// Each search thread's own position record, and the template from which
// the helpers copy the root of every attempt.
#include "search.h"

Position threadRecords[MAX_THREADS];
Position templateRecord;
Position& mainPosition = threadRecords[0];
