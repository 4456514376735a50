#pragma once

// The parameter values of RPC calls: TYPE_INFO and value of each, read into the T-SQL literal
// that stands for it.

#include "tds/Requests.h"

namespace tds {

class Reader;

// Reads the TYPE_INFO and the value of one parameter into `p`; false when malformed or of a
// type the server does not take (table-valued, user-defined, sql_variant).
bool readParameterValue(Reader& r, RpcParameter& p);

} // namespace tds
