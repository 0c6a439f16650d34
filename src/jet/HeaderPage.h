#pragma once
// Page 0 of a Jet 4 file: the database definition page.
//
// "Standard Jet DB", the version byte 0x01 (Jet 4), and a 128-byte region at 0x18 that Jet
// hides by XOR with the RC4 key stream of the key C7 DA 39 6B. Inside it: code page 1252,
// database key 0 (no page encryption), sort order 1033 (General), the creation date.

#include "jet/Page.h"

namespace dsadmin::jet {

class HeaderPage {
  public:
    static Page make(double createdJetDate);
};

}  // namespace dsadmin::jet
