#pragma once
// The whole math library: angle tables, vectors, matrices.

#include "math/angletables.h"
#include "math/matrix.h"
#include "math/vector.h"
