#pragma once
// Text between the data-access core (UTF-8) and unixODBC's wide entry points (SQLWCHAR,
// UTF-16). The session uses the wide calls only: unixODBC widens the narrow ones byte by
// byte, as Latin-1, on their way to a Unicode driver such as FreeTDS, so a login, password
// or name outside ASCII reached the server garbled.

#include <sql.h>
#include <sqlucode.h>

#include <string>
#include <string_view>

namespace dsadmin {

static_assert(sizeof(SQLWCHAR) == 2, "unixODBC is expected with a 16-bit SQLWCHAR");

using SqlWideString = std::basic_string<SQLWCHAR>;

// The UTF-16 form of `utf8`. A malformed sequence gives U+FFFD and decoding moves on.
SqlWideString ToSqlWide(std::string_view utf8);

// The UTF-8 form of `count` UTF-16 units at `text`. A lone surrogate gives U+FFFD.
std::string FromSqlWide(const SQLWCHAR* text, std::size_t count);

// The units of a null-terminated wide text, or of its first `capacity` units.
std::size_t SqlWideLength(const SQLWCHAR* text, std::size_t capacity);

}  // namespace dsadmin
