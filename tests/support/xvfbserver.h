#pragma once
// A private X server for tests: Debian's Xvfb on a free display it picks
// itself (-displayfd), screen 1920x1200x24, no TCP. While it runs, DISPLAY
// names it for the whole process. Use from one thread.

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

class XvfbServer {
public:
    // Starts the server, with extra Xvfb arguments (e.g. "-extension",
    // "MIT-SHM" to run without shared memory); check running() and error().
    explicit XvfbServer(std::vector<std::string> extraArguments = {});
    // Stops the server and waits for it.
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Starts it again after stop(); true when it runs.
    bool start();
    // Kills the server (as if it crashed or was shut down) and waits for it.
    // DISPLAY keeps naming it, so clients see a dead server.
    void stop();
    bool running() const { return pid_ > 0; }
    // ":<n>"
    const std::string& display() const { return display_; }
    // Why it is not running.
    const std::string& error() const { return error_; }

private:
    std::vector<std::string> extra_;
    pid_t pid_ = -1;
    std::string display_;
    std::string error_;
};

// One server for the whole test binary, started on first use.
XvfbServer& sharedXvfb();

}  // namespace testsupport
