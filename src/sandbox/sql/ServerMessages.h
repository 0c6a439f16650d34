#pragma once
// Every message the engine sends, with SQL Server's number, class (severity), state and text.
// Names inside texts are UTF-8, as the client wrote them. Messages built here carry line 0
// unless a line is given; the session fills in the line of the statement that failed.

#include <cstdint>
#include <string>

#include "sandbox/Engine.h"

namespace sandbox::sql::msg {

// Number used for everything the sandbox refuses although SQL Server would accept it.
inline constexpr std::int32_t kNotSupported = 50000;

Message make(std::int32_t number, std::uint8_t severity, std::uint8_t state, std::string text,
             std::int32_t line = 0);

// Syntax (class 15): the batch is refused before anything runs.
Message syntaxNear(const std::string& token, std::int32_t line);           // 102
Message syntaxNearKeyword(const std::string& keyword, std::int32_t line);  // 156
Message unclosedQuote(const std::string& rest, std::int32_t line);         // 105
Message identifierTooLong(const std::string& start, std::int32_t line);    // 103
Message missingEndComment(std::int32_t line);                              // 113
Message nestedTooDeeply(std::int32_t line);                                // 191
Message emptyName(std::int32_t line);                                      // 1038
Message undeclaredVariable(const std::string& name, std::int32_t line);    // 137
Message unknownFunction(const std::string& name, std::int32_t line);       // 195
Message invalidLength(std::int64_t length, std::int32_t line);             // 1001
Message sizeTooBig(std::int64_t size, const std::string& column);          // 131
Message unicodeSizeTooBig(std::int64_t size, const std::string& column);   // 2717
Message logWithoutData(std::int32_t line);                                 // 188

// Login.
Message loginFailed(const std::string& user);                    // 18456
Message cannotOpenDatabaseAtLogin(const std::string& database);  // 4060

// Databases.
Message databaseExists(const std::string& name);                                // 1801
Message databaseMissing(const std::string& name);                               // 911
Message databaseMissing2702(const std::string& name);                           // 2702
Message createFileFailed(const std::string& path, bool accessDenied = false);   // 5123
Message fileActivationFailed(const std::string& path);                          // 5105
Message fileExists(const std::string& path);                                    // 5170
Message createDatabaseFailed();                                                 // 1802
Message diskFullExpandingFile(const std::string& path);                         // 5149 (then 1802)
Message filegroupFull(const std::string& object, const std::string& database);  // 1105
Message insufficientMemory();                                                   // 701
Message selectListTooLong(std::int32_t line);                                   // 1056
Message logNameTooLong();                              // 1819 (class 10, before 1802)
Message logicalNameInUse(const std::string& name);     // 1828
Message maxSizeBelowSize(const std::string& file);     // 5103
Message cannotDropDatabase(const std::string& name);   // 3701
Message systemDatabase(const std::string& name);       // 3708
Message databaseInUse(const std::string& name);        // 3702
Message databaseUnavailable(const std::string& name);  // 945
Message changedDatabase(const std::string& name);      // 5701 (info)
Message changedLanguage(const std::string& language);  // 5703 (info)

// Tables and schemas.
Message objectExists(const std::string& name, std::uint8_t state = 6);         // 2714
Message constraintFailed(std::uint8_t state);                                  // 1750
Message unknownType(int column, const std::string& type);                      // 2715
Message widthNotAllowed(int column, const std::string& type);                  // 2716
Message precisionTooBig(int column, int precision);                            // 2750
Message scaleTooBig(int column, int scale, int precision);                     // 2751
Message multiplePrimaryKeys(const std::string& table);                         // 8110
Message nullablePrimaryKey(const std::string& table);                          // 8111
Message badIdentityType(const std::string& column);                            // 2749
Message multipleIdentities(const std::string& table);                          // 2744
Message duplicateColumn(const std::string& column, const std::string& table);  // 2705
Message unknownKeyColumn(const std::string& column);                           // 1911
Message tooManyColumns(const std::string& column, const std::string& table);   // 1702
Message cannotDropTable(const std::string& name);                              // 3701
Message schemaMissing(const std::string& name);                                // 2760
Message schemaExists(const std::string& name);                                 // 2714

// Queries.
Message invalidObject(const std::string& name);                                             // 208
Message invalidColumn(const std::string& name);                                             // 207
Message noTable();                                                                          // 263
Message argumentCount(const std::string& function, const std::string& count);               // 174
Message conversionFailed(const std::string& value, bool unicode, const std::string& type);  // 245
Message divideByZero();                                                                     // 8134
Message arithmeticOverflow(const std::string& type);                                        // 8115
Message incompatibleOperands(const std::string& left, const std::string& right,
                             const std::string& operatorName);   // 402
Message notBoolean(const std::string& near, std::int32_t line);  // 4145

// The sandbox's own refusals (kNotSupported, class 16).
Message notSupported(const std::string& what, std::int32_t line = 0);

}  // namespace sandbox::sql::msg
