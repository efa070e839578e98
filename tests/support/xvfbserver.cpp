// Starts Xvfb with -displayfd: it writes the display number it chose to the
// pipe once it accepts connections.

#include "support/xvfbserver.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

XvfbServer::XvfbServer(std::vector<std::string> extraArguments) : extra_(std::move(extraArguments)) { start(); }

XvfbServer::~XvfbServer() { stop(); }

bool XvfbServer::start() {
    if (running()) return true;
    error_.clear();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error_ = "pipe failed";
        return false;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        error_ = "fork failed";
        return false;
    }
    if (pid == 0) {
        // The write end must survive exec: dup it without close-on-exec.
        const int fd = dup(fds[1]);
        const std::string fdText = std::to_string(fd);
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) {
            dup2(devnull, STDOUT_FILENO);
            dup2(devnull, STDERR_FILENO);
        }
        std::vector<std::string> args = {"Xvfb", "-displayfd", fdText, "-screen", "0", "1920x1200x24", "-nolisten", "tcp"};
        args.insert(args.end(), extra_.begin(), extra_.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        char c = 0;
        const ssize_t n = read(fds[0], &c, 1);
        if (n <= 0) break;
        if (c == '\n') break;
        number.push_back(c);
    }
    close(fds[0]);
    if (number.empty()) {
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        error_ = WIFEXITED(status) && WEXITSTATUS(status) == 127
                     ? "Xvfb is not installed (Debian package xvfb; run scripts/setup.sh)"
                     : "Xvfb did not report a display";
        return false;
    }
    pid_ = pid;
    display_ = ":" + number;
    setenv("DISPLAY", display_.c_str(), 1);
    return true;
}

void XvfbServer::stop() {
    if (!running()) return;
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

XvfbServer& sharedXvfb() {
    static XvfbServer server;
    return server;
}

}  // namespace testsupport
