#pragma once
// Hostile and broken inputs, shared by the in-process protocol tests and the sessions against
// the real dsadmin-sandbox. Each is sent on its own connection; the server must go on
// serving other clients.

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "sandbox/tds/Login7.h"
#include "sandbox/tds/PacketWriter.h"
#include "sandbox/tds/Prelogin.h"
#include "sandbox/tds/SqlBatch.h"

namespace tdstest {

struct BrokenCase {
    std::string name;
    std::string bytes;
    bool afterLogin = false;  // sent by a logged-in client
};

inline void PrintTo(const BrokenCase& c, std::ostream* os) {
    *os << c.name;
}

inline std::string header(std::uint8_t type, std::uint8_t status, std::uint16_t length) {
    return std::string{static_cast<char>(type),
                       static_cast<char>(status),
                       static_cast<char>(length >> 8),
                       static_cast<char>(length & 0xFF),
                       0,
                       0,
                       1,
                       0};
}

inline std::vector<BrokenCase> brokenCases() {
    using namespace sandbox::tds;
    std::mt19937 random(4);
    std::string noise(3000, '\0');
    for (auto& c : noise) c = static_cast<char>(random());
    std::string login = encodeLogin7([] {
        Login7 l;
        l.userName = "sa";
        return l;
    }());
    std::string lyingLogin = login;
    lyingLogin[44] = static_cast<char>(0xF0);  // password offset far outside
    lyingLogin[46] = static_cast<char>(0x40);
    std::string rpcLies = encodeAllHeaders() + std::string("\xFF\xFF\x0A\x00\x00\x00", 6) +
                          std::string("\x02@\x00s\x00\x00\xE7\x10\x00", 9) +
                          std::string("\x09\x04\xD0\x00\x34\xF0\xFF", 7);
    return {
        {"TruncatedHeader", std::string("\x12\x01\x00", 3)},
        {"LengthBelowHeader", header(0x12, 1, 4)},
        {"LengthLongerThanSent", header(0x12, 1, 4000) + "abc"},
        {"HugeDeclaredLength", header(0x10, 1, 0xFFFF) + std::string(100, 'x')},
        {"RandomBytes", noise},
        {"UnknownPacketType", header(0x55, 1, 12) + "abcd"},
        {"BatchBeforeLogin", frameMessage(0x01, encodeSqlBatch("select 1"), 4096, 0)},
        {"PreloginWithoutTerminator",
         frameMessage(0x12, std::string("\x01\x00\x05\x00\x01", 5), 4096, 0)},
        {"LoginWithLyingOffsets", frameMessage(0x10, lyingLogin, 4096, 0)},
        {"LoginTooShort", frameMessage(0x10, login.substr(0, 40), 4096, 0)},
        {"LoginMessageBeyondLimit", frameMessage(0x10, std::string(70000, 'L'), 4096, 0)},
        {"RpcWithLyingLengths", frameMessage(0x03, rpcLies, 4096, 0), true},
        {"BatchWithLyingHeaders",
         frameMessage(0x01, std::string("\xFF\x00\x00\x00", 4) + "x", 4096, 0), true},
        {"BatchWithOddText", frameMessage(0x01, encodeSqlBatch("x") + "y", 4096, 0), true},
        {"TypeChangeInsideMessage", header(0x01, 0, 12) + "abcd" + header(0x03, 1, 12) + "efgh",
         true},
        {"RandomBytesAfterLogin", noise, true},
    };
}

}  // namespace tdstest
