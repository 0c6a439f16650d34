#pragma once
// Test-side decoder of the token stream the sandbox sends: enough to assert which tokens
// came, in what order, with which numbers, texts, DONE bits and cell values.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tdstest {

struct Token {
    std::uint8_t type = 0;
    // DONE kinds
    std::uint16_t status = 0;
    std::uint64_t rowCount = 0;
    // INFO/ERROR
    std::int32_t number = 0;
    std::uint8_t state = 0;
    std::uint8_t severity = 0;
    std::string text;  // message text; ENVCHANGE new value; LOGINACK program name
    std::string serverName;
    std::int32_t line = 0;
    // ENVCHANGE
    std::uint8_t envType = 0;
    std::string oldValue;
    // COLMETADATA: column names and wire types; ROW: cells as text ("NULL" for null)
    std::vector<std::string> names;
    std::vector<std::uint8_t> wireTypes;
    std::vector<std::string> cells;
    std::int32_t returnStatus = 0;
    std::uint32_t tdsVersion = 0;  // LOGINACK
};

// Decodes a whole response payload, strictly: every token's length must match its fields,
// message texts at most 2,047 characters (SQL Server's cut), INFO below severity 11 and ERROR
// above, 1 to 4,096 columns, cells within their column's length, only the DONE bits SQL
// Server uses. Throws std::runtime_error on anything unexpected. `modern` is true for TDS 7.2+
// field widths.
std::vector<Token> readTokens(std::string_view payload, bool modern = true);
// readTokens of a whole answer, which must also end with a final DONE (no MORE bit).
std::vector<Token> readAnswer(std::string_view payload, bool modern = true);

// Token types in order, e.g. "ENVCHANGE INFO LOGINACK DONE".
std::string tokenNames(const std::vector<Token>& tokens);

}  // namespace tdstest
