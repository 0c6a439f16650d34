#pragma once
// Page 0 of a Jet 4 file: the database definition page, filled as the Jet 4 files Access
// writes fill it (docs/dsfile.md lists the fields).
//
// "Standard Jet DB", the version byte 0x01 (Jet 4), and a 128-byte region at 0x18 that Jet
// hides by XOR with the RC4 key stream of the key C7 DA 39 6B. Inside it: six constant
// numbers at 0x18, code page 1252, database key 0 (no page encryption), the password area
// holding just its mask (no password), sort order 1033 (General), the creation date.
// After it: the Jet version stamp at 0x98 and the table of counters at 0xE00.

#include <cstddef>

#include "jet/Page.h"

namespace dsadmin::jet {

class HeaderPage {
  public:
    static constexpr std::size_t kRegion = 0x18;
    static constexpr std::size_t kRegionSize = 128;
    static constexpr std::size_t kPassword = 0x42;
    static constexpr std::size_t kPasswordSize = 40;
    static constexpr std::size_t kCreated = 0x72;

    static Page make(double createdJetDate);
    // Applies the header's RC4 key stream to the region (hides and reveals alike).
    static void toggleRegion(Page& page);
    // The 40-byte mask Jet 4 lays over the password: the creation date's whole days as a
    // little-endian 32-bit number, repeated. A file without a password holds exactly it.
    static void passwordMask(double createdJetDate, std::uint8_t (&mask)[kPasswordSize]);
};

}  // namespace dsadmin::jet
