#include "sandbox/sql/Parser.h"

#include "sandbox/MemoryBudget.h"

#include <algorithm>
#include <cstdlib>

#include "sandbox/sql/Lexer.h"
#include "sandbox/sql/Names.h"
#include "sandbox/sql/SelectParser.h"
#include "sandbox/sql/ServerMessages.h"
#include "sandbox/sql/SqlError.h"

namespace sandbox::sql {

namespace {

// Statements of T-SQL that the sandbox recognises but does not run.
bool isOtherStatement(const std::string& word) {
    static const char* const words[] = {
        "INSERT",   "UPDATE",      "DELETE",  "ALTER", "EXEC",     "EXECUTE",    "BEGIN",
        "COMMIT",   "ROLLBACK",    "SAVE",    "IF",    "WHILE",    "DECLARE",    "PRINT",
        "TRUNCATE", "GRANT",       "REVOKE",  "DENY",  "WITH",     "MERGE",      "RAISERROR",
        "RETURN",   "BACKUP",      "RESTORE", "DBCC",  "KILL",     "WAITFOR",    "GOTO",
        "BREAK",    "CONTINUE",    "OPEN",    "CLOSE", "FETCH",    "DEALLOCATE", "CHECKPOINT",
        "SHUTDOWN", "RECONFIGURE", "THROW",   "BULK",  "READTEXT", "WRITETEXT",  "UPDATETEXT",
        "SETUSER",  "REVERT"};
    for (const char* w : words)
        if (equalsName(word, w)) return true;
    return false;
}

[[noreturn]] void notSupported(const Token& t, const std::string& what) {
    throw SqlError(msg::notSupported("The statement '" + what + "'", t.line));
}

}  // namespace

std::vector<Statement> Parser::parseBatch(const std::string& sql,
                                          const std::vector<Param>& params) {
    const std::vector<Token> tokens = Lexer::tokenize(sql, params);
    TokenCursor cursor(tokens);
    Parser parser(cursor);
    std::vector<Statement> statements;
    for (;;) {
        while (cursor.acceptSymbol(";")) {
        }
        if (cursor.atEnd()) return statements;
        statements.push_back(parser.statement());
        if (!chargeRequest(sizeof(Statement))) throw SqlError(msg::insufficientMemory());
    }
}

Statement Parser::statement() {
    const Token& t = c_.peek();
    Statement s;
    s.line = t.line;
    if (c_.isWord("CREATE")) return create();
    if (c_.isWord("DROP")) return drop();
    if (c_.acceptWord("USE")) {
        s.body = UseDatabase{c_.name()};
    } else if (c_.isWord("SET")) {
        s.body = set();
    } else if (c_.isWord("SELECT")) {
        s.body = SelectParser(c_).select();
    } else if (c_.isWord("DECLARE")) {
        s.body = declare();
    } else if (c_.isWord("EXEC") || c_.isWord("EXECUTE")) {
        s.body = execute();
    } else if (t.kind == TokenKind::Word && isOtherStatement(t.text)) {
        notSupported(t, upper(t.text));
    } else {
        c_.fail();
    }
    return s;
}

Statement Parser::create() {
    Statement s;
    s.line = c_.take().line;
    if (c_.acceptWord("DATABASE")) {
        s.body = createDatabase();
    } else if (c_.acceptWord("TABLE")) {
        s.body = createTable();
    } else if (c_.acceptWord("SCHEMA")) {
        s.body = createSchema();
    } else if (c_.peek().kind == TokenKind::Word) {
        notSupported(c_.peek(), "CREATE " + upper(c_.peek().text));
    } else {
        c_.fail();
    }
    return s;
}

Statement Parser::drop() {
    Statement s;
    s.line = c_.take().line;
    if (c_.acceptWord("DATABASE")) {
        s.body = dropDatabase();
    } else if (c_.acceptWord("TABLE")) {
        s.body = dropTable();
    } else if (c_.peek().kind == TokenKind::Word) {
        notSupported(c_.peek(), "DROP " + upper(c_.peek().text));
    } else {
        c_.fail();
    }
    return s;
}

CreateDatabase Parser::createDatabase() {
    CreateDatabase d;
    d.name = c_.name();
    if (c_.acceptWord("ON")) {
        c_.acceptWord("PRIMARY");
        d.dataFiles = fileSpecs();
    }
    if (c_.isWord("LOG")) {
        const Token& log = c_.take();
        c_.expectWord("ON");
        if (d.dataFiles.empty()) throw SqlError(msg::logWithoutData(log.line));
        d.logFiles = fileSpecs();
    }
    if (c_.acceptWord("COLLATE")) c_.name();
    return d;
}

std::vector<FileSpec> Parser::fileSpecs() {
    std::vector<FileSpec> files;
    do {
        files.push_back(fileSpec());
    } while (c_.acceptSymbol(","));
    return files;
}

FileSpec Parser::fileSpec() {
    FileSpec f;
    c_.expectSymbol("(");
    do {
        if (c_.acceptWord("NAME")) {
            c_.expectSymbol("=");
            if (c_.peek().kind == TokenKind::String) {
                f.logicalName = c_.take().text;
            } else {
                f.logicalName = c_.name();
            }
        } else if (c_.acceptWord("FILENAME")) {
            c_.expectSymbol("=");
            if (c_.peek().kind != TokenKind::String) c_.fail();
            f.fileName = c_.take().text;
        } else if (c_.acceptWord("SIZE")) {
            f.sizeKb = fileSize(false, false);
        } else if (c_.acceptWord("MAXSIZE")) {
            f.maxSizeKb = fileSize(true, false);
        } else if (c_.acceptWord("FILEGROWTH")) {
            fileSize(false, true);
        } else {
            c_.fail();
        }
    } while (c_.acceptSymbol(","));
    c_.expectSymbol(")");
    return f;
}

// = <number>[KB|MB|GB|TB|%] or UNLIMITED: the size in KB (MB without a unit), nullopt for
// UNLIMITED and percentages. Sizes are only compared (SIZE with MAXSIZE), never applied.
std::optional<std::int64_t> Parser::fileSize(bool allowUnlimited, bool allowPercent) {
    c_.expectSymbol("=");
    if (allowUnlimited && c_.acceptWord("UNLIMITED")) return std::nullopt;
    if (c_.peek().kind != TokenKind::Number) c_.fail();
    const double number = std::strtod(c_.take().text.c_str(), nullptr);
    if (allowPercent && c_.acceptSymbol("%")) return std::nullopt;
    double kb = number * 1024;
    const std::pair<const char*, double> units[] = {
        {"KB", 1}, {"MB", 1024}, {"GB", 1024.0 * 1024}, {"TB", 1024.0 * 1024 * 1024}};
    for (const auto& [unit, factor] : units)
        if (c_.acceptWord(unit)) kb = number * factor;
    return static_cast<std::int64_t>(std::min(kb, 9.0e18));
}

DropDatabase Parser::dropDatabase() {
    DropDatabase d;
    if (c_.isWord("IF") && c_.isWord("EXISTS", 1)) {
        c_.take();
        c_.take();
        d.ifExists = true;
    }
    do {
        d.names.push_back(c_.name());
    } while (c_.acceptSymbol(","));
    return d;
}

CreateTable Parser::createTable() {
    CreateTable t;
    t.table = c_.objectName();
    c_.expectSymbol("(");
    do {
        tableElement(t);
    } while (c_.acceptSymbol(","));
    c_.expectSymbol(")");
    return t;
}

void Parser::tableElement(CreateTable& table) {
    std::string constraint;
    if (c_.acceptWord("CONSTRAINT")) constraint = c_.name();
    if (c_.acceptWord("PRIMARY")) {
        c_.expectWord("KEY");
        if (!c_.acceptWord("CLUSTERED")) c_.acceptWord("NONCLUSTERED");
        if (table.tableKeys.empty()) table.keyName = constraint;
        table.tableKeys.push_back(keyColumns());
    } else if (c_.acceptWord("UNIQUE")) {
        if (!c_.acceptWord("CLUSTERED")) c_.acceptWord("NONCLUSTERED");
        keyColumns();
    } else if (c_.isWord("FOREIGN") || c_.isWord("CHECK")) {
        notSupported(c_.peek(), upper(c_.peek().text) + " constraint");
    } else {
        table.columns.push_back(columnDef());
    }
}

std::vector<std::string> Parser::keyColumns() {
    std::vector<std::string> columns;
    c_.expectSymbol("(");
    do {
        columns.push_back(c_.name());
        if (!c_.acceptWord("ASC")) c_.acceptWord("DESC");
    } while (c_.acceptSymbol(","));
    c_.expectSymbol(")");
    return columns;
}

ColumnDef Parser::columnDef() {
    ColumnDef col;
    col.name = c_.name();
    col.type = typeName();
    while (!c_.peek().isSymbol(",") && !c_.peek().isSymbol(")") && !c_.atEnd()) columnOption(col);
    return col;
}

TypeName Parser::typeName() {
    TypeName type;
    type.name = c_.name();
    if (c_.acceptSymbol(".")) {  // schema.type
        type.schema = type.name;
        type.name = c_.name();
    }
    if (!c_.acceptSymbol("(")) return type;
    do {
        if (c_.peek().kind == TokenKind::Word && equalsName(c_.peek().text, "max")) {
            type.args.push_back("max");
            c_.take();
        } else {
            type.args.push_back(std::to_string(c_.integer()));
        }
    } while (type.args.size() < 2 && c_.acceptSymbol(","));
    c_.expectSymbol(")");
    return type;
}

void Parser::columnOption(ColumnDef& column) {
    std::string constraint;
    if (c_.acceptWord("CONSTRAINT")) constraint = c_.name();
    if (c_.acceptWord("IDENTITY")) {
        column.identity = true;
        if (c_.acceptSymbol("(")) {
            c_.integer();
            c_.expectSymbol(",");
            c_.integer();
            c_.expectSymbol(")");
        }
    } else if (c_.acceptWord("PRIMARY")) {
        c_.expectWord("KEY");
        if (!c_.acceptWord("CLUSTERED")) c_.acceptWord("NONCLUSTERED");
        if (!column.primaryKey) column.keyName = constraint;
        column.primaryKey = true;
    } else if (c_.acceptWord("UNIQUE")) {
        if (!c_.acceptWord("CLUSTERED")) c_.acceptWord("NONCLUSTERED");
    } else if (c_.acceptWord("NOT")) {
        c_.expectWord("NULL");
        column.nullable = false;
    } else if (c_.acceptWord("NULL")) {
        column.nullable = true;
    } else if (c_.acceptWord("COLLATE")) {
        c_.name();
    } else if (c_.acceptWord("ROWGUIDCOL")) {
    } else if (c_.isWord("DEFAULT") || c_.isWord("CHECK") || c_.isWord("REFERENCES") ||
               c_.isWord("FOREIGN")) {
        notSupported(c_.peek(), upper(c_.peek().text) + " in a column definition");
    } else {
        c_.fail();
    }
}

DropTable Parser::dropTable() {
    DropTable d;
    if (c_.isWord("IF") && c_.isWord("EXISTS", 1)) {
        c_.take();
        c_.take();
        d.ifExists = true;
    }
    do {
        d.tables.push_back(c_.objectName());
    } while (c_.acceptSymbol(","));
    return d;
}

CreateSchema Parser::createSchema() {
    CreateSchema s;
    s.name = c_.name();
    if (c_.acceptWord("AUTHORIZATION")) c_.name();
    return s;
}

SetOption Parser::set() {
    const Token& setToken = c_.take();
    SetOption o;
    if (c_.peek().kind == TokenKind::Variable) notSupported(setToken, "SET @variable");
    if (c_.acceptWord("TRANSACTION")) {
        c_.expectWord("ISOLATION");
        c_.expectWord("LEVEL");
        o.option = "TRANSACTION ISOLATION LEVEL";
        if (c_.acceptWord("READ")) {
            if (!c_.acceptWord("COMMITTED")) c_.expectWord("UNCOMMITTED");
        } else if (c_.acceptWord("REPEATABLE")) {
            c_.expectWord("READ");
        } else if (!c_.acceptWord("SNAPSHOT")) {
            c_.expectWord("SERIALIZABLE");
        }
        return o;
    }
    if (c_.acceptWord("IDENTITY_INSERT")) {
        o.option = "IDENTITY_INSERT";
        c_.objectName();
    } else {
        do {
            const Token& t = c_.peek();
            if (t.kind != TokenKind::Word) c_.fail();
            o.option = upper(c_.take().text);
        } while (c_.acceptSymbol(","));
    }
    o.value = setValue();
    return o;
}

std::string Parser::setValue() {
    const Token& t = c_.peek();
    if (t.isSymbol("-") || t.isSymbol("+")) return std::to_string(c_.integer());
    if (t.kind == TokenKind::Number || t.kind == TokenKind::String ||
        t.kind == TokenKind::QuotedName ||
        (t.kind == TokenKind::Word &&
         (!t.reserved || equalsName(t.text, "ON") || equalsName(t.text, "OFF"))))
        return c_.take().text;
    c_.fail();
}

}  // namespace sandbox::sql

namespace sandbox::sql {

Declare Parser::declare() {
    const Token& declareToken = c_.take();
    Declare d;
    do {
        const Token& v = c_.peek();
        if (v.kind != TokenKind::Variable || v.text.rfind("@@", 0) == 0) c_.fail();
        const std::string name = upper(c_.take().text);
        c_.acceptWord("AS");
        const Token& type = c_.peek();
        static const std::pair<const char*, ColumnType> types[] = {
            {"INT", ColumnType::Int},
            {"BIGINT", ColumnType::BigInt},
            {"SMALLINT", ColumnType::SmallInt},
            {"TINYINT", ColumnType::TinyInt},
            {"BIT", ColumnType::Bit}};
        bool known = false;
        for (const auto& [word, columnType] : types) {
            if (!c_.isWord(word)) continue;
            c_.take();
            d.variables.emplace_back(name, columnType);
            known = true;
            break;
        }
        if (!known) {
            if (type.kind != TokenKind::Word) c_.fail();
            notSupported(declareToken, "DECLARE of a variable of type " + type.text);
        }
        if (c_.peek().isSymbol("=")) notSupported(declareToken, "DECLARE with a value");
        c_.declare(name);
    } while (c_.acceptSymbol(","));
    return d;
}

Execute Parser::execute() {
    const Token& execToken = c_.take();
    Execute e;
    const Token& first = c_.peek();
    if (first.kind == TokenKind::Variable) {
        if (first.text.rfind("@@", 0) == 0) c_.fail();
        e.statusVariable = upper(first.text);
        if (!c_.declared(e.statusVariable))
            throw SqlError(msg::undeclaredVariable(first.text, first.line));
        c_.take();
        c_.expectSymbol("=");
    }
    if (c_.peek().isSymbol("(")) notSupported(execToken, "EXECUTE of a character string");
    e.procedure = c_.objectName();
    if (c_.atEnd() || c_.peek().isSymbol(";")) return e;
    if (c_.peek().kind == TokenKind::Word && !c_.peek().reserved && !c_.isWord("NULL") &&
        !c_.isWord("DEFAULT"))
        return e;  // the next statement
    do {
        e.arguments.push_back(procArgument());
    } while (c_.acceptSymbol(","));
    return e;
}

ProcArgument Parser::procArgument() {
    ProcArgument a;
    const Token& t = c_.peek();
    if (t.kind == TokenKind::Variable && c_.peek(1).isSymbol("=")) {
        a.name = t.text;
        c_.take();
        c_.take();
    }
    const bool negative = c_.acceptSymbol("-");
    const Token& v = c_.peek();
    if (v.kind == TokenKind::String && !negative) {
        a.value = c_.take().text;
    } else if (v.kind == TokenKind::Number) {
        const std::string text = c_.take().text;
        if (text.find_first_of(".eE") != std::string::npos) {
            a.value = (negative ? -1 : 1) * std::strtod(text.c_str(), nullptr);
        } else {
            const long long n = std::strtoll(text.c_str(), nullptr, 10);
            a.value = std::int64_t{negative ? -n : n};
        }
    } else if (c_.isWord("NULL") && !negative) {
        c_.take();
    } else if (v.kind == TokenKind::Variable) {
        notSupported(v, "A variable as a procedure argument");
    } else {
        c_.fail();
    }
    if (c_.isWord("OUTPUT") || c_.isWord("OUT")) notSupported(c_.peek(), "OUTPUT");
    return a;
}

}  // namespace sandbox::sql
