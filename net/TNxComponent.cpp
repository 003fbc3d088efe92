#include "net/TNxComponent.h"

#include "net/TNxStackLinux.h"

namespace orvex {

TNxStack* SharedStack = nullptr;

namespace {

int stackUsers = 0;

TNxStackFactory& stackFactory() {
    static TNxStackFactory factory = [] { return std::make_unique<TNxStackLinux>(); };
    return factory;
}

} // namespace

std::mutex& StackLock() {
    static std::mutex lock;
    return lock;
}

int StackUsers() {
    std::lock_guard guard(StackLock());
    return stackUsers;
}

TNxStackFactory SetStackFactory(TNxStackFactory factory) {
    std::lock_guard guard(StackLock());
    return std::exchange(stackFactory(), std::move(factory));
}

TNxComponent::TNxComponent() {
    std::lock_guard guard(StackLock());
    if (stackUsers == 0) SharedStack = stackFactory()().release();
    ++stackUsers;
}

TNxComponent::~TNxComponent() {
    std::lock_guard guard(StackLock());
    if (--stackUsers == 0) {
        delete SharedStack;
        SharedStack = nullptr;
    }
}

void TNxComponent::DoStatus(TNxStatus status, const std::string& text) {
    if (OnStatus) OnStatus(*this, status, text);
}

} // namespace orvex
