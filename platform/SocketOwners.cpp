#include "platform/SocketOwners.h"

#include "platform/Fd.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

namespace orvex {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

// "1234" -> 1234; 0 for anything that is not a positive decimal number.
int pidOf(const char* name) {
    int pid = 0;
    for (const char* c = name; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9' || pid > 100000000) return 0;
        pid = pid * 10 + (*c - '0');
    }
    return pid;
}

// "socket:[12345]" -> 12345; 0 for another link.
std::uint64_t socketInode(const char* link, std::size_t length) {
    constexpr char kPrefix[] = "socket:[";
    constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;
    if (length <= kPrefixLength + 1 || std::memcmp(link, kPrefix, kPrefixLength) != 0 ||
        link[length - 1] != ']')
        return 0;
    std::uint64_t inode = 0;
    for (std::size_t i = kPrefixLength; i + 1 < length; ++i) {
        if (link[i] < '0' || link[i] > '9') return 0;
        inode = inode * 10 + static_cast<std::uint64_t>(link[i] - '0');
    }
    return inode;
}

std::string processName(int procFd, const char* pid) {
    const std::string path = std::string(pid) + "/comm";
    Fd file(::openat(procFd, path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) return {};
    char name[64];
    const ssize_t got = ::read(file.get(), name, sizeof name);
    if (got <= 0) return {};
    std::string text(name, static_cast<std::size_t>(got));
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

} // namespace

SocketOwners::SocketOwners(std::string procDir) : procDir_(std::move(procDir)) {}

bool SocketOwners::update(const std::vector<std::uint64_t>& inodes) {
    // Marks every listed inode with this update's number; only new ones are searched for. A poll in
    // which nothing changed costs one lookup per socket.
    ++update_;
    std::unordered_map<std::uint64_t, SocketOwner*> wanted;
    std::size_t listed = 0;
    for (std::uint64_t inode : inodes) {
        if (inode == 0) continue;
        auto [entry, added] = owners_.try_emplace(inode);
        if (entry->second.Update != update_) ++listed;
        entry->second.Update = update_;
        if (added) wanted.emplace(inode, &entry->second);
    }
    if (!wanted.empty()) walk(wanted);
    // Sockets that are gone are forgotten, so an inode number the kernel hands out again is
    // searched afresh.
    if (owners_.size() > listed)
        std::erase_if(owners_, [this](const auto& entry) { return entry.second.Update != update_; });
    return !wanted.empty();
}

void SocketOwners::walk(std::unordered_map<std::uint64_t, SocketOwner*>& wanted) const {
    Fd proc(::open(procDir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!proc.valid()) return;
    Dir processes(::fdopendir(::dup(proc.get())));
    if (!processes) return;
    std::string fdPath;
    while (const dirent* process = ::readdir(processes.get())) {
        if (pidOf(process->d_name) == 0) continue;
        fdPath.assign(process->d_name).append("/fd");
        Fd fdFolder(::openat(proc.get(), fdPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fdFolder.valid()) continue; // another user's process, or gone
        Dir fds(::fdopendir(::dup(fdFolder.get())));
        if (!fds) continue;
        std::string name; // read once a socket of this process is wanted
        while (const dirent* fd = ::readdir(fds.get())) {
            if (fd->d_name[0] == '.') continue;
            char link[64];
            const ssize_t length = ::readlinkat(fdFolder.get(), fd->d_name, link, sizeof link);
            if (length <= 0) continue;
            const std::uint64_t inode = socketInode(link, static_cast<std::size_t>(length));
            if (inode == 0) continue;
            const auto hit = wanted.find(inode);
            if (hit == wanted.end()) continue;
            SocketOwner& owner = *hit->second;
            const int pid = pidOf(process->d_name);
            if (owner.Pid == pid) continue; // the same socket under two descriptors
            if (owner.Pid == 0) {
                if (name.empty()) name = processName(proc.get(), process->d_name);
                owner.Program = name;
                owner.Pid = pid;
            } else {
                ++owner.OtherProcesses;
            }
        }
    }
}

const SocketOwner* SocketOwners::find(std::uint64_t inode) const {
    const auto hit = owners_.find(inode);
    return hit == owners_.end() || hit->second.Pid == 0 ? nullptr : &hit->second;
}

const std::string& SocketOwners::userName(std::uint32_t uid) {
    if (auto known = users_.find(uid); known != users_.end()) return known->second;
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(4096);
    while (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE && buffer.size() < 65536)
        buffer.resize(buffer.size() * 2);
    std::string name = found != nullptr ? std::string(found->pw_name) : std::to_string(uid);
    return users_.emplace(uid, std::move(name)).first->second;
}

} // namespace orvex
