// A resolver with scripted answers and a record of every call, installed as SocketApi for the
// lifetime of a ScopedFakeWinsock.
#pragma once

#include "resolve/WinsockIntf.h"

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orvex::test {

class FakeWinsock : public TWinsockIntf11 {
public:
    // name -> addresses (dotted); a name without entry fails with forwardError.
    std::map<std::string, std::vector<std::string>> names;
    // name -> IPv6 addresses (text), for gethostbyname2(name, AF_INET6); others fail with forwardError.
    std::map<std::string, std::vector<std::string>> names6;
    int forwardError = WSAHOST_NOT_FOUND;
    // dotted or compressed IPv6 address -> official name; an address without entry fails with reverseError.
    std::map<std::string, std::string> addresses;
    int reverseError = WSANO_DATA;

    std::vector<std::string> forwardQueries;
    std::vector<std::string> reverseQueries;
    std::vector<std::string> forwardQueries6;

    const hostent* gethostbyname(const char* name) override;
    const hostent* gethostbyaddr(const void* address, int length, int family) override;
    const hostent* gethostbyname2(const char* name, int family) override;
    int WSAGetLastError() override { return lastError; }

private:
    const hostent* fill(const std::string& name, const std::vector<std::string>& dotted);
    int lastError = 0;
    hostent entry{};
    std::string nameStorage;
    std::vector<std::uint32_t> addressStorage;
    std::vector<std::array<std::uint8_t, 16>> address6Storage;
    std::vector<char*> addressPointers;
};

class ScopedFakeWinsock {
public:
    ScopedFakeWinsock();
    ~ScopedFakeWinsock();
    FakeWinsock& operator*() { return *fake_; }
    FakeWinsock* operator->() { return fake_; }

private:
    FakeWinsock* fake_;
    std::unique_ptr<TWinsockIntfBase> previous_;
};

} // namespace orvex::test
