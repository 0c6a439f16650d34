// The OLE DB connection-string grammar: any text parses or throws DbError; a value quoted by
// QuoteValue reads back unchanged; a login, password and server put into the server
// connection string come back intact (no ';' or quote in a password can add a keyword).
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "base/AsciiText.h"
#include "db/ConnectionStrings.h"
#include "db/DbError.h"
#include "db/OleDbString.h"
#include "db/odbc/OdbcConnectionString.h"

using dsadmin::DbError;
using dsadmin::OleDbString;

namespace {

// The input cut at NUL bytes into up to three parts.
std::string part(std::string_view text, int index) {
    for (int i = 0; i < index; ++i) {
        const std::size_t nul = text.find('\0');
        if (nul == std::string_view::npos) return {};
        text.remove_prefix(nul + 1);
    }
    return std::string(text.substr(0, text.find('\0')));
}

void parseAnything(const std::string& text) {
    try {
        const OleDbString s = OleDbString::Parse(text);
        for (const auto& [keyword, value] : s.pairs()) FUZZ_CHECK(s.get(keyword) == value);
        (void)dsadmin::ToOdbcConnectionString(s, "FreeTDS");
    } catch (const DbError&) {
    }
}

void quotedValueReadsBack(const std::string& value) {
    if (value.find('\0') != std::string::npos) return;
    const OleDbString s = OleDbString::Parse("Key=" + OleDbString::QuoteValue(value) + ";x=1");
    FUZZ_CHECK(s.get("key") == value);
    FUZZ_CHECK(s.get("x") == std::string("1"));
}

void serverStringKeepsItsParts(std::string_view text) {
    const std::string login = part(text, 0), password = part(text, 1), server = part(text, 2);
    const OleDbString s =
        OleDbString::Parse(dsadmin::ServerConnectionString(login, password, server));
    FUZZ_CHECK(s.get("user id") == dsadmin::Trim(login));
    FUZZ_CHECK(s.get("pwd") == dsadmin::Trim(password));
    FUZZ_CHECK(s.get("data source") == dsadmin::Trim(server));
    FUZZ_CHECK(s.get("initial catalog") == std::string("master"));
    FUZZ_CHECK(s.pairs().size() == 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    parseAnything(std::string(text));
    quotedValueReadsBack(std::string(text));
    serverStringKeepsItsParts(text);
    return 0;
}
