#include "tlmgui/imagelogo.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <utility>

extern char** environ;

namespace tlmgui {

SpawnLauncher::~SpawnLauncher() { reapFinished(); }

void SpawnLauncher::reapFinished() noexcept {
    int kept = 0;
    for (int i = 0; i < numPending_; ++i) {
        int status = 0;
        if (::waitpid(pending_[i], &status, WNOHANG) == 0) pending_[kept++] = pending_[i];
    }
    numPending_ = kept;
}

bool SpawnLauncher::launch(std::span<const char* const> argv) noexcept {
    reapFinished();
    if (argv.empty() || argv.size() > 15 || argv[0] == nullptr) return false;
    // posix_spawnp wants a mutable, null-terminated array; the strings are not changed.
    char* args[16] = {};
    for (std::size_t i = 0; i < argv.size(); ++i) args[i] = const_cast<char*>(argv[i]);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, args[0], nullptr, nullptr, args, environ) != 0) return false;
    // Too many opened at once: that child is left unreaped rather than waited for.
    if (numPending_ < kMaxPending) pending_[numPending_++] = int(pid);
    return true;
}

UIImageLogo::UIImageLogo(fw::UIContext& context, fw::ImageRef<const fw::RGBA> image, std::string address,
                         IProcessLauncher* launcher)
    : UIBitmap(context, image), address_(std::move(address)), launcher_(launcher ? *launcher : ownLauncher_) {}

bool UIImageLogo::isOpenableAddress(std::string_view address) noexcept {
    // A zero byte would cut the argument short of what was checked.
    if (address.find('\0') != std::string_view::npos) return false;
    auto startsWith = [&](std::string_view prefix) {
        return address.size() > prefix.size() && address.substr(0, prefix.size()) == prefix;
    };
    return startsWith("http://") || startsWith("https://");
}

fw::Click UIImageLogo::onMouseClick(int, int, int, bool, fw::MouseState) {
    if (isOpenableAddress(address_)) {
        const char* argv[2] = {kOpener, address_.c_str()};
        launcher_.launch(argv);
    }
    return fw::Click::beginDrag;
}

}  // namespace tlmgui
