#include "db/Recordset.h"

#include <algorithm>
#include <cctype>

#include "db/DbError.h"
#include "db/ProviderSession.h"

namespace dsadmin {
namespace {

const char* kIsOpen = "Operation is not allowed when the object is open.";
const char* kIsClosed = "Operation is not allowed when the object is closed.";
const char* kNoCurrent =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
    "requires a current record.";
const char* kBadArguments =
    "Arguments are of the wrong type, are out of acceptable range, or are in conflict with "
    "one another.";
const char* kConnectionClosed =
    "The connection cannot be used to perform this operation. It is either closed or invalid "
    "in this context.";

bool sameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

}  // namespace

void Recordset::Open(const std::string& source, Connection& connection, int cursorType,
                     int lockType, int /*options*/) {
    if (open_) throw DbError(kIsOpen);
    if (cursorType < kUnspecified || cursorType > kOpenStatic || lockType < kUnspecified ||
        lockType == 0 || lockType > kLockBatchOptimistic)
        throw DbError(kBadArguments);
    if (connection.State() != kStateOpen) throw DbError(kConnectionClosed);
    std::optional<RowSet> result = connection.session().run(source);
    if (!result) return;
    rows_ = std::move(*result);
    current_ = 0;
    open_ = true;
}

bool Recordset::Eof() const {
    requireOpen();
    return current_ >= rows_.rows.size();
}

void Recordset::MoveFirst() {
    requireOpen();
    if (rows_.rows.empty()) throw DbError(kNoCurrent);
    current_ = 0;
}

void Recordset::MoveNext() {
    requireCurrent();
    ++current_;
}

const Value& Recordset::Fields(const std::string& name) const {
    requireCurrent();
    for (std::size_t i = 0; i < rows_.columns.size(); ++i)
        if (sameName(rows_.columns[i], name)) return rows_.rows[current_][i];
    throw DbError("Item '" + name +
                  "' cannot be found in the collection corresponding to the requested name or "
                  "ordinal.");
}

void Recordset::Close() {
    requireOpen();
    open_ = false;
    rows_ = RowSet{};
    current_ = 0;
}

std::size_t Recordset::RecordCount() const {
    requireOpen();
    return rows_.rows.size();
}

const std::vector<std::string>& Recordset::FieldNames() const {
    requireOpen();
    return rows_.columns;
}

void Recordset::requireOpen() const {
    if (!open_) throw DbError(kIsClosed);
}

void Recordset::requireCurrent() const {
    requireOpen();
    if (current_ >= rows_.rows.size()) throw DbError(kNoCurrent);
}

}  // namespace dsadmin
