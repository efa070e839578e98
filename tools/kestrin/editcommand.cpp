#include "editcommand.h"

#include "auhost/unitobservers.h"
#include "auhost/unitview.h"
#include "plainerror.h"

namespace kestrincli {

namespace {

// Prints the newest parameter change of each tick over the previous one.
class StatusLine final : public auhost::UnitEditorWindow::ITickListener {
public:
    StatusLine(KestrinHost& host, auhost::EventObserver& observer, auhost::UnitEditorWindow& window,
               const std::atomic<bool>& interrupted, std::FILE* out)
        : host_(host), observer_(observer), window_(window), interrupted_(interrupted), out_(out) {}

    void onHostTick() override {
        if (interrupted_.load(std::memory_order_relaxed)) window_.close();
        // Changes come from the editor on this thread, so nothing arrives
        // between reading the record and clearing it.
        const std::vector<auhost::ObservedEvent> events = observer_.events();
        observer_.clear();
        const auhost::ObservedEvent* last = nullptr;
        for (const auhost::ObservedEvent& e : events) {
            if (e.type != kAudioUnitEvent_ParameterValueChange) continue;
            ++changes_;
            last = &e;
        }
        if (last != nullptr) show(*last);
    }

    void finish() {
        if (shownLength_ > 0) std::fputc('\n', out_);
        std::fflush(out_);
    }

    int changes() const { return changes_; }

private:
    void show(const auhost::ObservedEvent& e) {
        std::string name = "parameter " + std::to_string(e.id);
        for (const HostParameter& p : host_.parameters())
            if (p.id == e.id) name = p.name;
        std::string text = name + ": " + host_.displayText(e.id, e.value);
        const std::size_t length = text.size();
        // Spaces wipe what is left of a longer previous line.
        if (length < shownLength_) text.append(shownLength_ - length, ' ');
        std::fprintf(out_, "\r%s", text.c_str());
        std::fflush(out_);
        shownLength_ = length;
    }

    KestrinHost& host_;
    auhost::EventObserver& observer_;
    auhost::UnitEditorWindow& window_;
    const std::atomic<bool>& interrupted_;
    std::FILE* out_;
    std::size_t shownLength_ = 0;
    int changes_ = 0;
};

}  // namespace

bool runEditor(KestrinHost& host, const std::atomic<bool>& interrupted, std::FILE* status, EditOutcome& out,
               std::string& error) {
    if (auhost::HostResult r = auhost::openApplication(); !r) {
        error = "cannot show the editor: " + plainMessage(r);
        return false;
    }
    std::vector<AudioUnitParameterID> ids;
    for (const HostParameter& p : host.parameters()) ids.push_back(p.id);
    std::unique_ptr<auhost::EventObserver> observer;
    if (auhost::HostResult r = auhost::EventObserver::create(host.unit().unit(), ids, {}, observer); !r) {
        error = "cannot follow the editor's changes: " + plainMessage(r);
        return false;
    }
    std::unique_ptr<auhost::UnitEditorWindow> window;
    if (auhost::HostResult r = auhost::UnitEditorWindow::open(host.unit().unit(), host.component().name, window);
        !r) {
        error = "cannot open the editor: " + plainMessage(r);
        return false;
    }
    StatusLine line(host, *observer, *window, interrupted, status);
    const auto end = window->runUntilClosed(&line);
    line.finish();
    out.changes = line.changes();
    out.displayLost = end == auhost::UnitEditorWindow::RunEnd::displayLost;
    return true;
}

}  // namespace kestrincli
