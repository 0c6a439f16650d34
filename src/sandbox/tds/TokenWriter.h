#pragma once
// Encodes the server's tokens (MS-TDS 2.2.7) into a message payload. Only tokens that both
// FreeTDS and tedious know are produced: LOGINACK, ENVCHANGE, INFO/ERROR, COLMETADATA, ROW,
// RETURNSTATUS and the three DONE kinds. Field widths follow the negotiated TDS version
// (7.1: 2-byte user type and line number, 4-byte row count).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sandbox/Engine.h"
#include "sandbox/tds/ByteWriter.h"

namespace sandbox::tds {

enum TokenType : std::uint8_t {
    kTokenReturnStatus = 0x79,
    kTokenReturnValue = 0xAC,
    kTokenColMetadata = 0x81,
    kTokenError = 0xAA,
    kTokenInfo = 0xAB,
    kTokenLoginAck = 0xAD,
    kTokenRow = 0xD1,
    kTokenEnvChange = 0xE3,
    kTokenDone = 0xFD,
    kTokenDoneProc = 0xFE,
    kTokenDoneInProc = 0xFF,
};

enum DoneStatus : std::uint16_t {
    kDoneFinal = 0x0000,
    kDoneMore = 0x0001,
    kDoneError = 0x0002,
    kDoneCount = 0x0010,
    kDoneAttention = 0x0020,
};

enum EnvChangeType : std::uint8_t {
    kEnvDatabase = 1,
    kEnvLanguage = 2,
    kEnvPacketSize = 4,
    kEnvCollation = 7,
    kEnvResetAck = 18,
};

// SQL_Latin1_General_CP1_CI_AS: LCID 0x0409, ignore case/kana/width, sort id 52 (cp 1252).
inline constexpr std::string_view kCollation{"\x09\x04\xD0\x00\x34", 5};

class TokenWriter {
  public:
    // `tdsVersion` as negotiated (kTds71 ...); `serverName` goes into INFO/ERROR tokens.
    TokenWriter(std::uint32_t tdsVersion, std::string serverName);

    void loginAck();
    void envChange(EnvChangeType type, std::string_view newValue, std::string_view oldValue);
    void envChangeCollation();
    void envChangeResetAck();
    // INFO when severity <= 10, else ERROR.
    void message(const Message& m);
    void done(TokenType kind, std::uint16_t status, std::uint16_t curCmd, std::uint64_t rows);
    void returnStatus(std::int32_t value);
    // RETURNVALUE of an int OUTPUT parameter (the handle of sp_prepare/sp_prepexec).
    void returnValue(std::uint16_t ordinal, std::string_view name, std::int32_t value);
    // Column types must already be encodable: see ResultEncoder, which widens them.
    void colMetadata(const std::vector<Column>& columns);
    void row(const std::vector<Column>& columns, const std::vector<Cell>& cells);

    bool modern() const { return modern_; }
    std::size_t size() const { return out_.size(); }
    std::string take();

  private:
    void typeInfo(const Column& c);
    void value(const Column& c, const Cell& cell);
    void textValue(const Column& c, const std::string& text);

    std::uint32_t version_;
    bool modern_;  // TDS 7.2 or later
    std::string serverName_;
    ByteWriter out_;
};

}  // namespace sandbox::tds
