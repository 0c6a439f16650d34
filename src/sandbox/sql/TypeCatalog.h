#pragma once
// SQL Server's column types as CREATE TABLE names them: which arguments each takes, and the
// facts sys.columns reports (system_type_id, max_length, precision, scale).

#include <string>
#include <vector>

#include "sandbox/sql/Ast.h"

namespace sandbox::sql {

struct ResolvedType {
    std::string name;  // lower case, as sys.types and INFORMATION_SCHEMA show it
    int systemTypeId = 0;
    int userTypeId = 0;
    int maxLength = 0;  // bytes; -1 for (max)
    int precision = 0;
    int scale = 0;
    bool identityCapable = false;
    bool collated = false;  // character types carry a collation
};

class TypeCatalog {
  public:
    // Resolves the type of column number `column` (1-based) named `columnName`. Throws
    // SqlError: 2715 unknown type, 2716 width on a type without one, 1001 length 0 or out of
    // range, 131 / 2717 size over 8000 / 4000, 2750 / 2751 precision or scale.
    static ResolvedType resolve(const TypeName& type, int column, const std::string& columnName);

    // One entry per type sys.types lists (rowversion is a synonym of timestamp), each as the
    // type without arguments resolves.
    static std::vector<ResolvedType> builtIn();
};

}  // namespace sandbox::sql
