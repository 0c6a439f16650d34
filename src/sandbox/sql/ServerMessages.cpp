#include "sandbox/sql/ServerMessages.h"

namespace sandbox::sql::msg {

namespace {
std::string q(const std::string& s) {
    return "'" + s + "'";
}
std::string dq(const std::string& s) {
    return "\"" + s + "\"";
}
}  // namespace

Message make(std::int32_t number, std::uint8_t severity, std::uint8_t state, std::string text,
             std::int32_t line) {
    Message m;
    m.number = number;
    m.severity = severity;
    m.state = state;
    m.text = std::move(text);
    m.line = line;
    return m;
}

Message syntaxNear(const std::string& token, std::int32_t line) {
    return make(102, 15, 1, "Incorrect syntax near " + q(token) + ".", line);
}
Message syntaxNearKeyword(const std::string& keyword, std::int32_t line) {
    return make(156, 15, 1, "Incorrect syntax near the keyword " + q(keyword) + ".", line);
}
Message unclosedQuote(const std::string& rest, std::int32_t line) {
    return make(105, 15, 1, "Unclosed quotation mark after the character string " + q(rest) + ".",
                line);
}
Message identifierTooLong(const std::string& start, std::int32_t line) {
    return make(
        103, 15, 4,
        "The identifier that starts with " + q(start) + " is too long. Maximum length is 128.",
        line);
}
Message missingEndComment(std::int32_t line) {
    return make(113, 15, 1, "Missing end comment mark '*/'.", line);
}
Message nestedTooDeeply(std::int32_t line) {
    return make(191, 15, 1,
                "Some part of your SQL statement is nested too deeply. Rewrite the query or break "
                "it up into smaller queries.",
                line);
}
Message emptyName(std::int32_t line) {
    return make(1038, 15, 4,
                "An object or column name is missing or empty. For SELECT INTO statements, verify "
                "each column has a name. For other statements, look for empty alias names. "
                "Aliases defined as \"\" or [] are not allowed. Change the alias to a valid name.",
                line);
}
Message undeclaredVariable(const std::string& name, std::int32_t line) {
    return make(137, 15, 2, "Must declare the scalar variable " + dq(name) + ".", line);
}
Message unknownFunction(const std::string& name, std::int32_t line) {
    return make(195, 15, 10, q(name) + " is not a recognized built-in function name.", line);
}
Message invalidLength(std::int64_t length, std::int32_t line) {
    return make(1001, 15, 1,
                "Line " + std::to_string(line) + ": Length or precision specification " +
                    std::to_string(length) + " is invalid.",
                line);
}
Message sizeTooBig(std::int64_t size, const std::string& column) {
    return make(131, 15, 2,
                "The size (" + std::to_string(size) + ") given to the column " + q(column) +
                    " exceeds the maximum allowed for any data type (8000).");
}
Message unicodeSizeTooBig(std::int64_t size, const std::string& column) {
    return make(2717, 15, 2,
                "The size (" + std::to_string(size) + ") given to the column " + q(column) +
                    " exceeds the maximum allowed (4000).");
}
Message logWithoutData(std::int32_t line) {
    return make(188, 15, 1,
                "Cannot specify a log file in a CREATE DATABASE statement without also specifying "
                "at least one data file.",
                line);
}

Message loginFailed(const std::string& user) {
    return make(18456, 14, 1, "Login failed for user " + q(user) + ".");
}
Message cannotOpenDatabaseAtLogin(const std::string& database) {
    return make(
        4060, 11, 1,
        "Cannot open database " + dq(database) + " requested by the login. The login failed.");
}

Message databaseExists(const std::string& name) {
    return make(1801, 16, 3,
                "Database " + q(name) + " already exists. Choose a different database name.");
}
Message databaseMissing(const std::string& name) {
    return make(
        911, 16, 1,
        "Database " + q(name) + " does not exist. Make sure that the name is entered correctly.");
}
Message databaseMissing2702(const std::string& name) {
    return make(2702, 16, 2, "Database " + q(name) + " does not exist.");
}
Message createFileFailed(const std::string& path, bool accessDenied) {
    const std::string os =
        accessDenied ? "5(Access is denied.)" : "3(The system cannot find the path specified.)";
    return make(5123, 16, 1,
                "CREATE FILE encountered operating system error " + os +
                    " while attempting to open or create the physical file " + q(path) + ".");
}
Message diskFullExpandingFile(const std::string& path) {
    return make(5149, 16, 3,
                "MODIFY FILE encountered operating system error 112(There is not enough space on "
                "the disk.) while attempting to expand the physical file " +
                    q(path) + ".");
}
Message filegroupFull(const std::string& object, const std::string& database) {
    return make(1105, 17, 2,
                "Could not allocate space for object " + q(object) + " in database " + q(database) +
                    " because the 'PRIMARY' filegroup is full. Create disk space by deleting "
                    "unneeded files, dropping objects in the filegroup, adding additional files "
                    "to the filegroup, or setting autogrowth on for existing files in the "
                    "filegroup.");
}
Message insufficientMemory() {
    return make(701, 17, 123,
                "There is insufficient system memory in resource pool 'default' to run this "
                "query.");
}
Message selectListTooLong(std::int32_t line) {
    return make(1056, 15, 1,
                "The number of elements in the select list exceeds the maximum allowed number of "
                "4096 elements.",
                line);
}
Message fileActivationFailed(const std::string& path) {
    return make(5105, 16, 2,
                "A file activation error occurred. The physical file name " + q(path) +
                    " may be incorrect. Diagnose and correct additional errors, and retry the "
                    "operation.");
}
Message fileExists(const std::string& path) {
    return make(5170, 16, 1,
                "Cannot create file " + q(path) +
                    " because it already exists. Change the file path or the file name, and retry "
                    "the operation.");
}
Message createDatabaseFailed() {
    return make(1802, 16, 4,
                "CREATE DATABASE failed. Some file names listed could not be created. Check "
                "related errors.");
}
Message logNameTooLong() {
    return make(1819, 10, 1, "Could not create default log file because the name was too long.");
}
Message logicalNameInUse(const std::string& name) {
    return make(
        1828, 16, 1,
        "The logical file name " + dq(name) + " is already in use. Choose a different name.");
}
Message maxSizeBelowSize(const std::string& file) {
    return make(5103, 16, 1, "MAXSIZE cannot be less than SIZE for file " + q(file) + ".");
}
Message cannotDropDatabase(const std::string& name) {
    return make(3701, 11, 1,
                "Cannot drop the database " + q(name) +
                    ", because it does not exist or you do not have permission.");
}
Message systemDatabase(const std::string& name) {
    return make(3708, 16, 1,
                "Cannot drop the database " + q(name) + " because it is a system database.");
}
Message databaseInUse(const std::string& name) {
    return make(3702, 16, 4,
                "Cannot drop database " + dq(name) + " because it is currently in use.");
}
Message databaseUnavailable(const std::string& name) {
    return make(945, 14, 2,
                "Database " + q(name) +
                    " cannot be opened due to inaccessible files or insufficient memory or disk "
                    "space.  See the SQL Server errorlog for details.");
}
Message changedDatabase(const std::string& name) {
    return make(5701, 0, 1, "Changed database context to " + q(name) + ".");
}
Message changedLanguage(const std::string& language) {
    return make(5703, 0, 1, "Changed language setting to " + language + ".");
}

Message objectExists(const std::string& name, std::uint8_t state) {
    return make(2714, 16, state,
                "There is already an object named " + q(name) + " in the database.");
}
Message constraintFailed(std::uint8_t state) {
    return make(1750, 16, state, "Could not create constraint or index. See previous errors.");
}
Message unknownType(int column, const std::string& type) {
    return make(2715, 16, 6,
                "Column, parameter, or variable #" + std::to_string(column) +
                    ": Cannot find data type " + type + ".");
}
Message widthNotAllowed(int column, const std::string& type) {
    return make(2716, 16, 1,
                "Column, parameter, or variable #" + std::to_string(column) +
                    ": Cannot specify a column width on data type " + type + ".");
}
Message precisionTooBig(int column, int precision) {
    return make(2750, 16, 1,
                "Column or parameter #" + std::to_string(column) + ": Specified column precision " +
                    std::to_string(precision) + " is greater than the maximum precision of 38.");
}
Message scaleTooBig(int column, int scale, int precision) {
    return make(2751, 16, 1,
                "Column or parameter #" + std::to_string(column) + ": Specified column scale " +
                    std::to_string(scale) + " is greater than the specified precision of " +
                    std::to_string(precision) + ".");
}
Message multiplePrimaryKeys(const std::string& table) {
    return make(8110, 16, 0,
                "Cannot add multiple PRIMARY KEY constraints to table " + q(table) + ".");
}
Message nullablePrimaryKey(const std::string& table) {
    return make(
        8111, 16, 1,
        "Cannot define PRIMARY KEY constraint on nullable column in table " + q(table) + ".");
}
Message badIdentityType(const std::string& column) {
    return make(2749, 16, 2,
                "Identity column " + q(column) +
                    " must be of data type int, bigint, smallint, tinyint, or decimal or numeric "
                    "with a scale of 0, and constrained to be nonnullable.");
}
Message multipleIdentities(const std::string& table) {
    return make(2744, 16, 2,
                "Multiple identity columns specified for table " + q(table) +
                    ". Only one identity column per table is allowed.");
}
Message duplicateColumn(const std::string& column, const std::string& table) {
    return make(2705, 16, 3,
                "Column names in each table must be unique. Column name " + q(column) +
                    " in table " + q(table) + " is specified more than once.");
}
Message unknownKeyColumn(const std::string& column) {
    return make(1911, 16, 1,
                "Column name " + q(column) + " does not exist in the target table or view.");
}
Message tooManyColumns(const std::string& column, const std::string& table) {
    return make(1702, 16, 1,
                "CREATE TABLE failed because column " + q(column) + " in table " + q(table) +
                    " exceeds the maximum of 1024 columns.");
}
Message cannotDropTable(const std::string& name) {
    return make(3701, 11, 5,
                "Cannot drop the table " + q(name) +
                    ", because it does not exist or you do not have permission.");
}
Message schemaMissing(const std::string& name) {
    return make(2760, 16, 1,
                "The specified schema name " + dq(name) +
                    " either does not exist or you do not have permission to use it.");
}
Message schemaExists(const std::string& name) {
    return make(2714, 16, 6, "There is already an object named " + q(name) + " in the database.");
}

Message invalidObject(const std::string& name) {
    return make(208, 16, 1, "Invalid object name " + q(name) + ".");
}
Message invalidColumn(const std::string& name) {
    return make(207, 16, 1, "Invalid column name " + q(name) + ".");
}
Message noTable() {
    return make(263, 16, 1, "Must specify table to select from.");
}
Message argumentCount(const std::string& function, const std::string& count) {
    return make(174, 15, 1, "The " + function + " function requires " + count + " argument(s).");
}
Message conversionFailed(const std::string& value, bool unicode, const std::string& type) {
    return make(245, 16, 1,
                std::string("Conversion failed when converting the ") +
                    (unicode ? "nvarchar" : "varchar") + " value " + q(value) + " to data type " +
                    type + ".");
}
Message divideByZero() {
    return make(8134, 16, 1, "Divide by zero error encountered.");
}
Message arithmeticOverflow(const std::string& type) {
    return make(8115, 16, 2,
                "Arithmetic overflow error converting expression to data type " + type + ".");
}
Message incompatibleOperands(const std::string& left, const std::string& right,
                             const std::string& operatorName) {
    return make(402, 16, 1,
                "The data types " + left + " and " + right + " are incompatible in the " +
                    operatorName + " operator.");
}
Message notBoolean(const std::string& near, std::int32_t line) {
    return make(4145, 15, 1,
                "An expression of non-boolean type specified in a context where a condition is "
                "expected, near " +
                    q(near) + ".",
                line);
}

Message notSupported(const std::string& what, std::int32_t line) {
    return make(kNotSupported, 16, 1, what + " is not supported by the dsadmin sandbox.", line);
}

}  // namespace sandbox::sql::msg
