#pragma once
// Opens a provider's session by the provider's name (any case; "SQLOLEDB", "SQLOLEDB.1",
// "Microsoft.Jet.OLEDB.4.0"). properties holds the connection string's pairs without
// "Provider"; options apply to a provider that talks to a server. Throws DbError for an
// unknown provider or when the provider refuses.

#include <memory>
#include <string>

#include "db/OleDbString.h"
#include "db/ProviderSession.h"

namespace dsadmin {

std::unique_ptr<ProviderSession> OpenProviderSession(const std::string& provider,
                                                     const OleDbString& properties,
                                                     const SessionOptions& options = {});

}  // namespace dsadmin
