#pragma once
// An ADO-like row set: Open(source, connection, cursorType, lockType, options), then Eof(),
// MoveFirst(), MoveNext(), Fields(name), Close(). Every row of the result is read forward at
// Open and kept on the client, whatever cursor type is asked for; no server cursor is used.
// The rows stay readable after the connection closes.
//
// Opening a statement that returns no rows runs it and leaves the row set closed, so the
// same object can be opened again. Every failure throws DbError. Move-only.

#include <cstddef>
#include <string>
#include <utility>

#include "db/Connection.h"
#include "db/RowSet.h"
#include "db/Value.h"

namespace dsadmin {

// Cursor and lock types as the runs pass them (ADO values).
enum CursorType : int { kOpenForwardOnly = 0, kOpenKeyset = 1, kOpenDynamic = 2, kOpenStatic = 3 };
enum LockType : int {
    kLockReadOnly = 1,
    kLockPessimistic = 2,
    kLockOptimistic = 3,
    kLockBatchOptimistic = 4
};

class Recordset {
  public:
    Recordset() = default;
    // A moved-from row set is closed.
    Recordset(Recordset&& other) noexcept
        : open_(std::exchange(other.open_, false)),
          rows_(std::move(other.rows_)),
          current_(std::exchange(other.current_, 0)) {}
    Recordset& operator=(Recordset&& other) noexcept {
        open_ = std::exchange(other.open_, false);
        rows_ = std::move(other.rows_);
        current_ = std::exchange(other.current_, 0);
        return *this;
    }

    // Runs source on connection. Open with rows on the first row (or at the end when the
    // result is empty); closed when source returned no result with columns. Throws DbError
    // when this row set is open already, the connection is closed, an argument is out of
    // range, or the provider or server refuses source.
    void Open(const std::string& source, Connection& connection, int cursorType = kUnspecified,
              int lockType = kUnspecified, int options = kUnspecified);

    // True when there is no current row (an empty result gives true at once). (ADO's EOF;
    // EOF itself is a macro of the C library.)
    bool Eof() const;
    void MoveFirst();
    void MoveNext();

    // The value of field name (any case) in the current row. Throws DbError when there is
    // no current row or no such field.
    const Value& Fields(const std::string& name) const;

    // Closes the row set. Throws DbError when it is not open.
    void Close();
    int State() const { return open_ ? kStateOpen : kStateClosed; }

    // The number of rows of the open result (all of them are on the client). Throws DbError
    // when the row set is closed.
    std::size_t RecordCount() const;

    // The field names of the open result, in order.
    const std::vector<std::string>& FieldNames() const;

  private:
    void requireOpen() const;
    void requireCurrent() const;

    bool open_ = false;
    RowSet rows_;
    std::size_t current_ = 0;
};

}  // namespace dsadmin
