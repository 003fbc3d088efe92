// A machine identity with the user and computer names a test chooses, so placement tests can keep
// users and machines apart without depending on who runs them.
#pragma once

#include "platform/MachineIdentity.h"

#include <string>
#include <utility>

namespace orvex::test {

class FakeMachineIdentity : public MachineIdentity {
public:
    FakeMachineIdentity(std::string user, std::string computer)
        : user_(std::move(user)), computer_(std::move(computer)) {}
    std::string userName() override { return user_; }
    std::string computerName() override { return computer_; }

private:
    std::string user_, computer_;
};

} // namespace orvex::test
