#pragma once
// A bare TDS client over a socket for tests that need exact control of the bytes: hostile
// packets, small packet sizes, attention. Throws std::runtime_error on failures.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tds_TokenReader.h"

namespace tdstest {

class RawClient {
  public:
    RawClient(const std::string& host, std::uint16_t port, int timeoutMs = 10000);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    // Writes raw bytes as they stand.
    void sendRaw(std::string_view bytes);
    // Frames `payload` as one message of `type` in packets of `packetSize` bytes.
    void send(std::uint8_t type, std::string_view payload, std::size_t packetSize = 4096,
              std::uint8_t firstStatus = 0);
    // Reads one whole server message (until EOM) and returns its payload; also counts the
    // packets it came in.
    std::string receive();
    // Every answer is decoded strictly (readAnswer): a malformed one fails the test.
    std::vector<Token> receiveTokens() { return readAnswer(receive()); }
    // True when the server closed the connection (reads EOF within the timeout).
    bool closedByServer();

    // PRELOGIN (saying it cannot encrypt) then LOGIN7 as sa; returns the login response tokens.
    std::vector<Token> login(const std::string& password, const std::string& database = "",
                             std::uint32_t packetSize = 4096, const std::string& user = "sa");
    // A SQL batch, answered tokens.
    std::vector<Token> batch(const std::string& sql, std::size_t packetSize = 4096);

    int packetsInLastMessage() const { return lastPackets_; }
    int maxPacketLengthInLastMessage() const { return lastMaxLength_; }

  private:
    void readExact(char* out, std::size_t n);

    int fd_ = -1;
    int lastPackets_ = 0;
    int lastMaxLength_ = 0;
};

}  // namespace tdstest
