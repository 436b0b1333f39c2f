#pragma once
// The merge's measurements taken by the audio layer.

#include "merge/MergeJob.h"

// format: the first frame of a file (a look at its beginning only);
// dlugoscMs: the exact duration, every frame at its own rate.
MiernikMp3 miernikMp3();
