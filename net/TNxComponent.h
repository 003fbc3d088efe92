// Base of the network components. The first live component creates the process's SharedStack,
// the last one releases it; StackLock guards both steps and StackUsers, so components may be made
// on different threads (this program makes them on the user-interface thread only).
#pragma once

#include "net/TNxStack.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace orvex {

// Status reports of the components; nothing in this program subscribes to them.
enum class TNxStatus {
    hsResolving,
    hsConnecting,
    hsConnected,
    hsDisconnecting,
    hsDisconnected,
    hsStatusText,
    ftpTransfer,
    ftpReady,
    ftpAborted,
};

class TNxComponent;
using TNxStatusEvent = std::function<void(TNxComponent& sender, TNxStatus status, const std::string& text)>;

// Makes the stack object; the program's is TNxStackLinux. Tests install another.
using TNxStackFactory = std::function<std::unique_ptr<TNxStack>()>;
// Replaces the factory used for the next stack creation; returns the previous one.
TNxStackFactory SetStackFactory(TNxStackFactory factory);

// The one stack object while at least one component lives, else nullptr.
extern TNxStack* SharedStack;
// Number of live components.
int StackUsers();
std::mutex& StackLock();

class TNxComponent {
public:
    // Creates SharedStack when it is the first component; a failing creation raises and leaves
    // no user counted.
    TNxComponent();
    TNxComponent(const TNxComponent&) = delete;
    TNxComponent& operator=(const TNxComponent&) = delete;
    // Releases SharedStack when it is the last component.
    virtual ~TNxComponent();

    TNxStatusEvent OnStatus;

protected:
    void DoStatus(TNxStatus status, const std::string& text);
};

} // namespace orvex
