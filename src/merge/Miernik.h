#pragma once
// The merge's measurement of an entry, taken by the audio layer's frame walk.

#include "merge/PomiarMp3.h"

MiernikMp3 miernikMp3();
