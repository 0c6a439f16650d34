// The sandbox's T-SQL lexer and parser: any batch parses or throws SqlError, never anything
// else, never a crash, and never an unbounded recursion.
#include <cstdint>
#include <string>

#include "sandbox/sql/Parser.h"
#include "sandbox/sql/SqlError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string sql(reinterpret_cast<const char*>(data), size);
    try {
        (void)sandbox::sql::Parser::parseBatch(sql, {});
    } catch (const sandbox::sql::SqlError&) {
    }
    return 0;
}
