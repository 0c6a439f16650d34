#pragma once
// Opens a provider's session by the provider's name (any case; "SQLOLEDB", "SQLOLEDB.1",
// "Microsoft.Jet.OLEDB.4.0"). properties holds the connection string's pairs without
// "Provider"; options apply to a provider that talks to a server. Throws DbError for an
// unknown provider or when the provider refuses.
//
// The seam below every Connection: a provider registered under a name (RegisterProvider)
// answers for that name instead of the built-in one. The programs register none; tests put a
// scripted session there to answer as a server cannot on demand (a refusal at the 500th
// statement, a connection lost between two statements).

#include <functional>
#include <memory>
#include <string>

#include "db/OleDbString.h"
#include "db/ProviderSession.h"

namespace dsadmin {

std::unique_ptr<ProviderSession> OpenProviderSession(const std::string& provider,
                                                     const OleDbString& properties,
                                                     const SessionOptions& options = {});

// Makes a session for the connection string's properties; throws DbError to refuse.
using ProviderFactory =
    std::function<std::unique_ptr<ProviderSession>(const OleDbString& properties)>;

// Puts `factory` in place of the provider `name` (matched as OpenProviderSession matches, with
// or without ".1") until UnregisterProvider(name). Safe from any thread.
void RegisterProvider(const std::string& name, ProviderFactory factory);
void UnregisterProvider(const std::string& name);

}  // namespace dsadmin
