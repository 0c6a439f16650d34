#include "db/Recordset.h"

#include "base/AsciiText.h"
#include "db/DbError.h"
#include "db/ProviderSession.h"

namespace dsadmin {
namespace {

const char* kIsOpen = "对象打开时，不允许操作。";
const char* kIsClosed = "对象关闭时，不允许操作。";
const char* kNoCurrent =
    "BOF 或 EOF 中有一个是“真”，或者当前的记录已被删除，所要求的操作要求一个当前的记录。";
const char* kBadArguments = "参数类型不正确，或不在可以接受的范围之内，或与其他参数冲突。";
const char* kConnectionClosed = "连接无法用于执行此操作。在此上下文中它可能已被关闭或无效。";

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
        if (EqualsIgnoringAsciiCase(rows_.columns[i], name)) return rows_.rows[current_][i];
    throw DbError("在对应所需名称或序数的集合中，未找到项目“" + name + "”。");
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
