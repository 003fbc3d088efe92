// A Linux stack whose platform answers a test can script, installed as the stack factory for the
// lifetime of a ScopedStack. Calls not scripted go to the real sockets.
#pragma once

#include "net/TNxComponent.h"
#include "net/TNxStackLinux.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace orvex::test {

class ScriptedStack : public TNxStackLinux {
public:
    std::optional<int> platformCode; // PlatformErrorCode answer when set
    int platformCodeReads = 0;
    std::vector<std::string> nameQueries; // hosts given to HostByName
    std::map<std::string, std::string> names;
    std::function<int(int port, const std::string& address)> bind; // replaces StackBind when set
    std::vector<int> boundPorts;

    int PlatformErrorCode() override {
        ++platformCodeReads;
        return platformCode ? *platformCode : TNxStackLinux::PlatformErrorCode();
    }
    std::map<std::string, std::string> namesIpv6Only;
    std::vector<std::string> nameQueriesIpv6Only;
    std::string HostByNameIpv6Only(const std::string& host) override {
        nameQueriesIpv6Only.push_back(host);
        const auto found = namesIpv6Only.find(host);
        return found == namesIpv6Only.end() ? std::string() : found->second;
    }
    std::string HostByName(const std::string& host) override {
        nameQueries.push_back(host);
        if (auto it = names.find(host); it != names.end()) return it->second;
        platformCode = 11001;
        CheckResult(-1);
        return {};
    }
    // Replace the platform's socket creation, send, wait and receive when set.
    std::function<TNxSocket(int type, int protocol)> socket;
    std::function<int(const void* buffer, int length, const std::string& address)> sendTo;
    std::function<int(int timeoutMs)> waitRead;
    std::function<int(void* buffer, int length, int flags)> receive;
    std::vector<std::pair<int, int>> openedSockets; // type, protocol

    TNxSocket StackSocket(int family, int type, int protocol) override {
        openedSockets.emplace_back(type, protocol);
        if (socket) return socket(type, protocol);
        return TNxStackLinux::StackSocket(family, type, protocol);
    }
    int StackSendTo(TNxSocket s, const void* buffer, int length, int flags, const std::string& address,
                    int port, int ttl) override {
        if (sendTo) return sendTo(buffer, length, address);
        return TNxStackLinux::StackSendTo(s, buffer, length, flags, address, port, ttl);
    }
    int WaitSockets(TNxSocketList* readList, TNxSocketList* writeList, TNxSocketList* errorList,
                    int timeoutMs) override {
        if (waitRead && readList != nullptr && writeList == nullptr && errorList == nullptr) {
            TNxStackLinux::WaitSockets(readList, nullptr, nullptr, 0); // the set-size rule still holds
            return waitRead(timeoutMs);
        }
        return TNxStackLinux::WaitSockets(readList, writeList, errorList, timeoutMs);
    }
    int StackReceive(TNxSocket s, void* buffer, int length, int flags) override {
        if (receive) return receive(buffer, length, flags);
        return TNxStackLinux::StackReceive(s, buffer, length, flags);
    }
    int StackBind(TNxSocket s, int family, int port, const std::string& address) override {
        boundPorts.push_back(port);
        if (bind) return bind(port, address);
        return TNxStackLinux::StackBind(s, family, port, address);
    }
};

// Installs ScriptedStack as the stack of the components made while it lives; the component it
// holds keeps the stack alive.
class ScopedStack {
public:
    ScopedStack() {
        previous_ = SetStackFactory([this] {
            auto stack = std::make_unique<ScriptedStack>();
            created_ = stack.get();
            return stack;
        });
        component_ = std::make_unique<TNxComponent>();
    }
    ~ScopedStack() {
        component_.reset();
        SetStackFactory(std::move(previous_));
    }
    ScriptedStack& operator*() { return *created_; }
    ScriptedStack* operator->() { return created_; }

private:
    TNxStackFactory previous_;
    ScriptedStack* created_ = nullptr;
    std::unique_ptr<TNxComponent> component_;
};

// Drives an ICMP client over a scripted socket: the datagrams in `incoming` arrive one per wait; an
// empty queue lets the wait run out. With answerEchoes, every request sent is answered at once by a
// plain echo reply (20-byte header, time-to-live 64) from the address it went to.
struct ScriptedEcho {
    ScopedStack stack;
    std::deque<std::vector<std::uint8_t>> incoming;
    std::vector<std::vector<std::uint8_t>> sent;
    std::vector<std::string> sentTo;
    bool answerEchoes = false;
    std::function<int(int index)> failSend; // -1 plus a code in platformCode to fail send #index
    bool codeSet = false;                   // platformCode holds a receive's failure

    ScriptedEcho() {
        stack->socket = [](int, int) { return ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0); };
        stack->sendTo = [this](const void* buffer, int length, const std::string& address) {
            if (failSend) {
                if (const int code = failSend(static_cast<int>(sent.size())); code != 0) {
                    stack->platformCode = code;
                    sent.emplace_back();
                    return -1;
                }
            }
            const auto* p = static_cast<const std::uint8_t*>(buffer);
            sent.emplace_back(p, p + length);
            sentTo.push_back(address);
            if (answerEchoes) {
                std::vector<std::uint8_t> reply(20, 0);
                reply[0] = 0x45;
                reply[8] = 64;
                reply[9] = 1;
                const auto from = TNxStack::TextToAddress(address);
                std::copy(from.begin(), from.end(), reply.begin() + 12);
                reply.insert(reply.end(), p, p + length);
                reply[20] = 0;
                incoming.push_back(std::move(reply));
            }
            return length;
        };
        stack->waitRead = [this](int timeoutMs) {
            if (!incoming.empty()) return 1;
            ::usleep(static_cast<useconds_t>(timeoutMs) * 1000);
            return 0;
        };
        // A datagram longer than the buffer fills it and fails with 10040, as the platform does; a
        // receive that may not wait fails with 10035 when nothing is queued.
        stack->receive = [this](void* buffer, int length, int flags) {
            if (codeSet) stack->platformCode.reset();
            codeSet = false;
            const auto fail = [this](int code) {
                stack->platformCode = code;
                codeSet = true;
                return -1;
            };
            if (incoming.empty()) return fail((flags & MSG_DONTWAIT) ? 10035 : 10004);
            std::vector<std::uint8_t> d = std::move(incoming.front());
            incoming.pop_front();
            const int n = std::min(length, static_cast<int>(d.size()));
            std::copy_n(d.begin(), n, static_cast<std::uint8_t*>(buffer));
            return n < static_cast<int>(d.size()) ? fail(10040) : n;
        };
    }
};

} // namespace orvex::test
