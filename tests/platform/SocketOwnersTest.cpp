// Owners of sockets from a process tree the test lays out like /proc: the first process and "+N"
// for the others, no second walk for inodes already searched, a forgotten inode searched afresh.
#include "platform/SocketOwners.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

using namespace orvex;
namespace fs = std::filesystem;

namespace {

struct FakeProc {
    fs::path root = fs::temp_directory_path() / ("orvex-owners-" + std::to_string(::getpid()));
    FakeProc() { fs::create_directories(root); }
    ~FakeProc() { fs::remove_all(root); }
    void process(int pid, const std::string& name, const std::vector<std::string>& links) {
        fs::create_directories(root / std::to_string(pid) / "fd");
        std::ofstream(root / std::to_string(pid) / "comm") << name << "\n";
        int fd = 3;
        for (const std::string& link : links)
            fs::create_symlink(link, root / std::to_string(pid) / "fd" / std::to_string(fd++));
    }
};

} // namespace

TEST(SocketOwners, FirstProcessAndOthersFoundOnceAndForgottenWhenGone) {
    FakeProc proc;
    proc.process(120, "server", {"/dev/null", "socket:[77]", "socket:[78]", "socket:[77]"});
    proc.process(121, "worker", {"socket:[77]", "pipe:[5]"});
    proc.process(122, "other", {"socket:[79x]", "socket:[]"});
    fs::create_directories(proc.root / "self" / "fd"); // not a process number
    SocketOwners owners(proc.root.string());

    EXPECT_TRUE(owners.update({77, 78, 79, 0}));
    struct Expect {
        std::uint64_t inode;
        const char* program;
        int pid, others;
    };
    for (const Expect& e : {Expect{77, "server", 120, 1}, Expect{78, "server", 120, 0}}) {
        const SocketOwner* owner = owners.find(e.inode);
        ASSERT_NE(owner, nullptr) << e.inode;
        EXPECT_EQ(owner->Program, e.program);
        EXPECT_EQ(owner->Pid, e.pid);
        EXPECT_EQ(owner->OtherProcesses, e.others);
    }
    EXPECT_EQ(owners.find(79), nullptr); // in no readable process: searched, not found

    // Nothing new: no walk, even though a process now holds 79.
    proc.process(130, "late", {"socket:[79]"});
    EXPECT_FALSE(owners.update({77, 78, 79}));
    EXPECT_EQ(owners.find(79), nullptr);
    // 79 gone, then back (the number handed out again): searched afresh.
    EXPECT_FALSE(owners.update({77, 78}));
    EXPECT_TRUE(owners.update({77, 78, 79}));
    ASSERT_NE(owners.find(79), nullptr);
    EXPECT_EQ(owners.find(79)->Program, "late");

    EXPECT_EQ(owners.userName(0), "root");
    EXPECT_EQ(owners.userName(4294967290u), "4294967290"); // no name: the number
}
