#pragma once
// Turns the pairs of an OLE DB connection string for "SQLOLEDB" into a connection string
// for the FreeTDS ODBC driver. Text is UTF-8.

#include <string>

#include "db/OleDbString.h"

namespace dsadmin {

// Where a SQL Server data source points.
struct ServerAddress {
    std::string host;      // "(local)", "." and "localhost" become 127.0.0.1
    int port = 0;          // 0 when none is given (then 1433, or the instance's port)
    std::string instance;  // empty for the default instance
};

// Reads a data source as SQL Server clients do: an optional "tcp:" prefix, then
// "host,port" or "host\instance" (a port given after a comma wins over an instance);
// "(local)", "." and "localhost" mean 127.0.0.1 port 1433. Throws DbError for a port that
// is no number from 1 to 65535.
ServerAddress ParseDataSource(const std::string& dataSource);

// `address` with the port FreeTDS connects to: TDSPORT, when it holds a port number, in place
// of the one named (this is how "(local)" reaches a server on another port).
ServerAddress WithFreetdsPort(ServerAddress address);

// The address as the operator's messages name it: "127.0.0.1:1433", "db1\\SALES" for an
// instance found through the browser, "db1" when neither is given.
std::string ServerAddressText(const ServerAddress& address);

// Quotes value for an ODBC connection string: in braces. unixODBC 2.3 with FreeTDS 1.3 reads
// a braced value up to the first '}' that is followed by ';' (at the end of the string the '}'
// stays in the value, so a braced value never comes last), and does not undo a
// doubled '}', so value goes in unchanged. Throws DbError naming what the value is (keyword, never
// the value) when value holds "};", which that grammar cannot carry.
std::string OdbcQuote(const std::string& value, const char* keyword = "值");

// How a connection is encrypted: the driver's default ("request"), or what dsadmin-cli
// --encrypt or the site's odbcinst.ini asks (FreeTDS Encryption=off, request, require, strict).
enum class OdbcEncryption { DriverDefault, Off, Optional, Mandatory, Strict };

// The site's choice for connections that do not say (the window's): the keys Encryption
// (off, request, require, strict) and CAFile of the [FreeTDS] driver entry of odbcinst.ini.
// FreeTDS itself reads neither there, nor freetds.conf for a connection made by address.
// Unknown values are left out.
void ApplySiteEncryption(OdbcEncryption& encryption, std::string& caFile,
                         const std::string& siteEncryption, const std::string& siteCaFile);

// What a program sets for all its server connections. The window sets only the name.
struct OdbcClientOptions {
    std::string applicationName;  // APP=, the program a DBA sees connected; empty: none given
    OdbcEncryption encryption = OdbcEncryption::DriverDefault;
    bool trustServerCertificate = false;  // accept any certificate
    std::string caFile;                   // check the certificate and host name against it

    // Whether the server's certificate is checked: against caFile when given, else against
    // the system's trusted CAs when encryption is mandatory or strict and trust is not given.
    bool checksCertificate() const;
    // The CA file FreeTDS is given: caFile, "system", or empty when nothing is checked.
    std::string freetdsCaFile() const;
};

// FreeTDS 1.3 takes a CA file and the host-name check only from a freetds.conf section, not
// from the ODBC string: the text of a file whose section `section` connects to `address` with
// the encryption and checks of `client` (the host-name check left out when not checkHostName).
// Throws DbError for a value with a line break, which the file cannot carry.
std::string FreetdsConfText(const std::string& section, const ServerAddress& address,
                            const OdbcClientOptions& client, bool checkHostName = true);

// The ODBC string for properties (keywords any case: "Data Source"/"Server"/"Address",
// "User ID"/"UID", "Password"/"PWD", "Initial Catalog"/"Database"), for the driver
// driverName: Driver, Server, Port, UID, PWD, Database, APP (client's name, when set),
// TDS_Version=7.4, ClientCharset=UTF-8, Encryption (client's, when set). With confSection,
// "Servername=<section>" takes the place of Server and Port (the section of FreetdsConfText). Sets
// no time-out (the session sets them as attributes). Throws DbError for a value OdbcQuote refuses.
std::string ToOdbcConnectionString(const OleDbString& properties, const std::string& driverName,
                                   const OdbcClientOptions& client = {},
                                   const std::string& confSection = {});

}  // namespace dsadmin
