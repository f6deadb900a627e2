#pragma once

#include "tools/KOVA_RunTree.h"

// The temporary work tree the benchmark program runs in, made by main before the
// application object and removed at exit.
const KOVA_RunTree& benchWorkTree();
