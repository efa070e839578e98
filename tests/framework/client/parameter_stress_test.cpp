// Parameters under concurrent use: host automation, editor gestures and the
// audio thread's lock-free reads at the same time.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "testclient.h"

namespace {

using testclient::FakeHost;
using testclient::makeTestClient;

class CountingListener final : public fw::IParameterListener {
public:
    void onParameterChanged(fw::Parameter&) noexcept override { changed.fetch_add(1, std::memory_order_relaxed); }
    void onBeginParameterEdit(fw::Parameter&) noexcept override {}
    void onEndParameterEdit(fw::Parameter&) noexcept override {}
    void onBeginParameterHover(fw::Parameter&) noexcept override {}
    void onEndParameterHover(fw::Parameter&) noexcept override {}
    std::atomic<long> changed{0};
};

// Host calls arrive from the UI thread only; the fake host itself is not shared.
class SilentHost final : public fw::IHostCommand {
public:
    void beginParamEdit(int) noexcept override { begins.fetch_add(1, std::memory_order_relaxed); }
    void paramAutomate(int, float) noexcept override { automations.fetch_add(1, std::memory_order_relaxed); }
    void endParamEdit(int) noexcept override { ends.fetch_add(1, std::memory_order_relaxed); }
    bool requestResize(int, int) noexcept override { return false; }
    fw::DAW getDAW() noexcept override { return fw::DAW::unknown; }
    fw::PluginFormat getPluginFormat() noexcept override { return fw::PluginFormat::auv2; }
    std::atomic<long> begins{0}, automations{0}, ends{0};
};

TEST(ParameterConcurrency, HostEditorAndAudioThreadsNeverSeeTornOrForeignValues) {
    auto client = makeTestClient();
    SilentHost host;
    client->setHostCommand(&host);
    fw::LinearFloatParameter& delay = client->delay();  // 0..10, default 5
    fw::IntegerParameter& mode = client->mode();        // 0..3, default 1
    fw::BoolParameter& sync = client->sync();
    CountingListener listener;
    delay.addListener(&listener);

    constexpr int kHostWrites = 50000;
    constexpr int kGestures = 10000;
    std::atomic<bool> writersDone{false};
    std::atomic<long> foreignReads{0};
    std::atomic<long> reads{0};
    // All three start together so that the reads overlap the writes.
    std::atomic<int> started{0};
    auto startTogether = [&started] {
        started.fetch_add(1, std::memory_order_acq_rel);
        while (started.load(std::memory_order_acquire) < 3) std::this_thread::yield();
    };

    // Every value written is k * 0.625 for k in 0..16 (exact in binary), so any
    // other bit pattern read back would be a torn or invented value.
    auto isWrittenDelay = [](double v) {
        for (int k = 0; k <= 16; ++k)
            if (v == k * 0.625) return true;
        return false;
    };

    std::thread hostThread([&] {
        startTogether();
        for (int i = 0; i < kHostWrites; ++i) {
            delay.setFromHost((i % 17) / 16.0);
            mode.setFromHost(i % 2 == 0 ? 0.0 : 1.0);  // 0 or 3
            sync.setFromHost(i % 3 == 0 ? 1.0 : 0.0);
        }
    });
    std::thread uiThread([&] {
        startTogether();
        for (int i = 0; i < kGestures; ++i) {
            delay.beginParamEdit();
            delay.setFromGUINormalized(((i * 7) % 17) / 16.0);
            delay.setFromGUINormalized(((i * 5) % 17) / 16.0);
            delay.endParamEdit();
            mode.beginParamEdit();
            mode.setFromGUINormalized(0.5);  // 1.5 -> 2
            mode.endParamEdit();
        }
    });
    std::thread audioThread([&] {
        startTogether();
        while (!writersDone.load(std::memory_order_acquire)) {
            const double d = delay.value();
            const int m = mode.value();
            if (!isWrittenDelay(d) || m < 0 || m > 3) foreignReads.fetch_add(1, std::memory_order_relaxed);
            (void)sync.value();
            reads.fetch_add(1, std::memory_order_relaxed);
        }
    });

    hostThread.join();
    uiThread.join();
    writersDone.store(true, std::memory_order_release);
    audioThread.join();

    EXPECT_EQ(foreignReads.load(), 0);
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(delay.editCount(), 0);
    EXPECT_EQ(mode.editCount(), 0);
    EXPECT_EQ(host.begins.load(), 2L * kGestures);
    EXPECT_EQ(host.ends.load(), 2L * kGestures);
    EXPECT_EQ(host.automations.load(), 3L * kGestures);
    // Every editor write notified; host writes notified unless a gesture was open.
    EXPECT_GE(listener.changed.load(), 2L * kGestures);
    EXPECT_LE(listener.changed.load(), 2L * kGestures + kHostWrites);

    // With no gesture open, the host is heard again.
    delay.setFromHost(1.0);
    EXPECT_EQ(delay.value(), 10.0);
    delay.removeListener(&listener);
}

TEST(ParameterConcurrency, EditorWriteReportsTheValueItStored) {
    // While the host hammers the value, every automation the editor sends must be a
    // value the editor wrote (it is computed under the same lock as the store).
    auto client = makeTestClient();
    FakeHost host;  // only the UI thread calls it
    client->setHostCommand(&host);
    fw::IntegerParameter& mode = client->mode();
    std::atomic<bool> stop{false};
    std::thread hostThread([&] {
        int i = 0;
        while (!stop.load(std::memory_order_acquire)) mode.setFromHost((i++ % 2) == 0 ? 0.0 : 1.0 / 3.0);
    });
    for (int i = 0; i < 5000; ++i) mode.setFromGUINormalized(i % 2 == 0 ? 2.0 / 3.0 : 1.0);  // 2 or 3
    stop.store(true, std::memory_order_release);
    hostThread.join();

    long foreign = 0;
    for (const testclient::HostCall& c : host.calls)
        if (c.value != static_cast<float>(2.0 / 3.0) && c.value != 1.0f) ++foreign;
    EXPECT_EQ(host.calls.size(), 5000u);
    EXPECT_EQ(foreign, 0);
}

// An editor opening or closing while the host automates: listeners are added
// and removed (growing and shrinking the list) on the UI thread while a host
// thread notifies. Every registered listener hears changes; none is called
// after its removal.
TEST(ParameterConcurrency, ListenersComeAndGoWhileTheHostAutomates) {
    auto client = makeTestClient();
    fw::LinearFloatParameter& delay = client->delay();
    CountingListener resident;
    delay.addListener(&resident);

    std::atomic<bool> stop{false};
    std::thread host([&] {
        double v = 0.0;
        while (!stop.load(std::memory_order_relaxed)) {
            v = v > 0.9 ? 0.0 : v + 0.01;
            delay.setFromHost(v);
        }
    });
    std::vector<std::unique_ptr<CountingListener>> editorListeners;
    for (int round = 0; round < 200; ++round) {
        for (int i = 0; i < 40; ++i) {
            editorListeners.push_back(std::make_unique<CountingListener>());
            delay.addListener(editorListeners.back().get());
        }
        for (auto& l : editorListeners) delay.removeListener(l.get());
        // Destroying them right after removal is safe only if no notification
        // still runs on them.
        editorListeners.clear();
    }
    // The host thread may have been slow to start; let it notify at least once.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (resident.changed.load() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    stop.store(true, std::memory_order_relaxed);
    host.join();
    EXPECT_EQ(delay.numListeners(), 1);
    EXPECT_GT(resident.changed.load(), 0);
}

}  // namespace
