#include "tsql/Session.h"

#include "TestDb.h"

#include <gtest/gtest.h>
