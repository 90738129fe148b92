#pragma once
// The whole math library: angle tables, vectors, matrices.

#include "math/angle_tables.h"
#include "math/matrix.h"
#include "math/vector.h"
