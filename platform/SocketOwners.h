// Which process holds a socket, and the name of the user a uid stands for. The kernel's socket
// tables give each socket's inode and uid; the inode leads to the processes through the
// `socket:[inode]` links in /proc/PID/fd, which an ordinary user can read for their own processes
// (root for all). Plain C++; one object per caller at a time (the history's poll worker, the
// command-line mode).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvex {

struct SocketOwner {
    std::string Program; // the process name (/proc/PID/comm)
    int Pid = 0;
    int OtherProcesses = 0; // further processes that hold the same socket
    unsigned Update = 0;    // the last update that listed the inode
};

class SocketOwners {
public:
    // procDir: where the process folders are (tests point it elsewhere).
    explicit SocketOwners(std::string procDir = "/proc");

    // Makes the owners of these inodes known. Inodes seen before (found or not) are not searched
    // again; /proc is walked once, and only when an inode is new. Forgets inodes not in the list.
    // Returns whether it walked.
    bool update(const std::vector<std::uint64_t>& inodes);

    // The owner of an inode passed to update, or null when no readable process holds it.
    const SocketOwner* find(std::uint64_t inode) const;

    // The user's login name, or the number as text when the system knows no name for it.
    const std::string& userName(std::uint32_t uid);

private:
    void walk(std::unordered_map<std::uint64_t, SocketOwner*>& wanted) const;

    std::string procDir_;
    unsigned update_ = 0;
    // Every inode of the last update: its owner, or an empty one (Pid 0) when none was found.
    std::unordered_map<std::uint64_t, SocketOwner> owners_;
    std::unordered_map<std::uint32_t, std::string> users_;
};

} // namespace orvex
