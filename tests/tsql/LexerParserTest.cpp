#include "tsql/Lexer.h"
#include "tsql/Parser.h"

#include <gtest/gtest.h>
