#include "netconfig/test_sandbox.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "base/text_file.h"

namespace fs = std::filesystem;

namespace {
constexpr int kNoNamespace = 125;
}

bool bindMount(fs::path const& source, fs::path const& target, bool readOnly) {
    if (mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        return false;
    }
    return !readOnly ||
           mount(nullptr, target.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

std::optional<ChildResult> runInPrivateMounts(fs::path const& scratch,
                                              std::function<int()> const& body) {
    if (geteuid() != 0) {
        return std::nullopt;
    }
    fs::path const outFile = scratch / "child.out";
    fs::path const errFile = scratch / "child.err";
    // Output still buffered in the parent would otherwise be flushed a second time by the child.
    std::cout.flush();
    (void)std::fflush(nullptr);
    pid_t const pid = fork();
    if (pid < 0) {
        return std::nullopt;
    }
    if (pid == 0) {
        int const out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int const err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            _exit(kNoNamespace);
        }
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        int status = body();
        std::cout.flush();
        std::cerr.flush();
        (void)std::fflush(nullptr);
        _exit(status);
    }
    int raw = 0;
    while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(raw) && WEXITSTATUS(raw) == kNoNamespace) {
        return std::nullopt;
    }
    ChildResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readText(outFile);
    result.err = readText(errFile);
    return result;
}
