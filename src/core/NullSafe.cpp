#include "core/NullSafe.h"
