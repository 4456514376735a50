#include "core/Error.h"
