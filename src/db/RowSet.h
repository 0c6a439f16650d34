#pragma once
// The rows of one query result, held entirely on the client.

#include <string>
#include <vector>

#include "db/Value.h"

namespace dsadmin {

struct RowSet {
    std::vector<std::string> columns;      // field names in result order (UTF-8)
    std::vector<std::vector<Value>> rows;  // each row has columns.size() values
};

}  // namespace dsadmin
