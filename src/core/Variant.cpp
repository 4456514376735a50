#include "core/Variant.h"
