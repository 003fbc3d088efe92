#include "tests/support/FakeWinsock.h"

#include <arpa/inet.h>
#include <cstring>

namespace orvex::test {

const hostent* FakeWinsock::fill(const std::string& name, const std::vector<std::string>& dotted) {
    nameStorage = name;
    addressStorage.clear();
    for (const auto& text : dotted)
        addressStorage.push_back(::inet_addr(text.c_str()));
    addressPointers.clear();
    for (auto& address : addressStorage)
        addressPointers.push_back(reinterpret_cast<char*>(&address));
    addressPointers.push_back(nullptr);
    entry = hostent{};
    entry.h_name = nameStorage.data();
    entry.h_addrtype = AF_INET;
    entry.h_length = 4;
    entry.h_addr_list = addressPointers.data();
    return &entry;
}

const hostent* FakeWinsock::gethostbyname(const char* name) {
    forwardQueries.emplace_back(name);
    const auto found = names.find(name);
    if (found == names.end()) {
        lastError = forwardError;
        return nullptr;
    }
    return fill(name, found->second);
}

const hostent* FakeWinsock::gethostbyname2(const char* name, int family) {
    if (family == AF_INET) return gethostbyname(name);
    forwardQueries6.emplace_back(name);
    const auto found = names6.find(name);
    if (family != AF_INET6 || found == names6.end()) {
        lastError = forwardError;
        return nullptr;
    }
    nameStorage = name;
    address6Storage.assign(found->second.size(), {});
    addressPointers.clear();
    for (std::size_t i = 0; i < found->second.size(); ++i) {
        ::inet_pton(AF_INET6, found->second[i].c_str(), address6Storage[i].data());
        addressPointers.push_back(reinterpret_cast<char*>(address6Storage[i].data()));
    }
    addressPointers.push_back(nullptr);
    entry = hostent{};
    entry.h_name = nameStorage.data();
    entry.h_addrtype = AF_INET6;
    entry.h_length = 16;
    entry.h_addr_list = addressPointers.data();
    return &entry;
}

const hostent* FakeWinsock::gethostbyaddr(const void* address, int length, int family) {
    std::string dotted;
    if (family == AF_INET6 && length == 16) {
        char text[INET6_ADDRSTRLEN];
        dotted = ::inet_ntop(AF_INET6, address, text, sizeof text);
    } else {
        in_addr in{};
        std::memcpy(&in, address, sizeof in);
        dotted = ::inet_ntoa(in);
    }
    reverseQueries.push_back(dotted);
    const auto found = addresses.find(dotted);
    if (found == addresses.end()) {
        lastError = reverseError;
        return nullptr;
    }
    return fill(found->second, {dotted});
}

ScopedFakeWinsock::ScopedFakeWinsock() {
    auto fake = std::make_unique<FakeWinsock>();
    fake_ = fake.get();
    previous_ = installSocketApi(std::move(fake));
}

ScopedFakeWinsock::~ScopedFakeWinsock() {
    installSocketApi(std::move(previous_));
}

} // namespace orvex::test
