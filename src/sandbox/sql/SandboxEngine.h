#pragma once
// The engine behind openEngine(): checks the one login (sa, case-insensitive, with the
// configured password compared exactly) and opens sessions over a shared Instance.

#include <memory>

#include "sandbox/Engine.h"
#include "sandbox/sql/Instance.h"

namespace sandbox::sql {

class SandboxEngine : public Engine {
  public:
    explicit SandboxEngine(const EngineOptions& options);
    std::unique_ptr<Session> login(const std::string& user, const std::string& password,
                                   const std::string& database, Message& error) override;

  private:
    std::shared_ptr<Instance> instance_;
};

}  // namespace sandbox::sql
