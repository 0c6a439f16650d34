#pragma once
// Splits a server message into packets of at most the negotiated size.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sandbox::tds {

// Returns the packets (headers and payloads, back to back) that carry `payload` as one
// message of `type`: every packet at most `packetSize` bytes long, the last one with EOM,
// packet ids counting from 1. An empty payload gives one bare header with EOM.
std::string frameMessage(std::uint8_t type, std::string_view payload, std::size_t packetSize,
                         std::uint16_t spid);

}  // namespace sandbox::tds
