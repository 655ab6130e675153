#pragma once

// Permissions do not bind root, and CI runs the tests as root: there, a test
// about permissions runs its body in a child that has become "nobody", so
// that it checks the same thing everywhere instead of skipping.

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cstdio>
#include <functional>

namespace tessapak::archive::testing {

inline void runUnprivileged(const std::function<void()>& body) {
    if (::geteuid() != 0) {
        body();
        return;
    }
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr) << "no user \"nobody\" to run as";
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0 ||
            ::geteuid() == 0) {
            std::fprintf(stderr, "cannot become nobody\n");
            ::_exit(2);
        }
#ifdef __linux__
        // A change of user gives /proc/self to root until the process is
        // marked dumpable again; the tests count their descriptors there.
        ::prctl(PR_SET_DUMPABLE, 1);
#endif
        body();
        std::fflush(nullptr);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the test failed as nobody (status " << status << ")";
}

}  // namespace tessapak::archive::testing
