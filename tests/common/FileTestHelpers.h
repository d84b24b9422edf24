// Helpers for tests that touch the file system.
#pragma once

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testhelpers {

// A fresh directory under /tmp, removed with everything in it at the end of the scope.
class CTemporaryDirectory {
public:
    CTemporaryDirectory() {
        char pattern[] = "/tmp/tarquil-test-XXXXXX";
        if (mkdtemp(pattern) != nullptr)
            path = pattern;
    }
    ~CTemporaryDirectory() {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
    CTemporaryDirectory(const CTemporaryDirectory&) = delete;
    CTemporaryDirectory& operator=(const CTemporaryDirectory&) = delete;

    // The directory's path, without a trailing separator.
    std::string path;
};

// Lowers the file size limit of the process for one scope, which makes writes fail as on a
// full disk, even for a user whom permissions do not stop.
class CFileSizeLimit {
public:
    explicit CFileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit lowered = saved;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~CFileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;

private:
    rlimit saved{};
};

// Runs `check` as a user whom file permissions stop: in a child process that gives up
// root's rights (as nobody) when the tests run as root, else right here. True when the
// check returned true. Files the check touches must be reachable for everybody.
template <typename Check>
bool AsUserWithoutPrivileges(Check check) {
    if (geteuid() != 0)
        return check();
    const pid_t child = fork();
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        const bool dropped = setgid(kNobody) == 0 && setuid(kNobody) == 0;
        _exit(dropped && check() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace testhelpers
