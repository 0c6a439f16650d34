// LOGIN7 alone, the record every string of which is found through an offset and a length
// that the client chose: any payload decodes or throws ProtocolError, and what decodes
// encodes and decodes again to the same login.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "sandbox/tds/Login7.h"
#include "sandbox/tds/ProtocolError.h"

namespace tds = sandbox::tds;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string payload(reinterpret_cast<const char*>(data), size);
    tds::Login7 login;
    try {
        login = tds::parseLogin7(payload);
    } catch (const tds::ProtocolError&) {
        return 0;
    }
    (void)tds::negotiateVersion(login.tdsVersion);
    const tds::Login7 again = tds::parseLogin7(tds::encodeLogin7(login));
    FUZZ_CHECK(again.userName == login.userName);
    FUZZ_CHECK(again.password == login.password);
    FUZZ_CHECK(again.database == login.database);
    FUZZ_CHECK(again.hostName == login.hostName);
    return 0;
}
