#pragma once
// Parameter: one automatable value of the plug-in.
//
// Hosts see a normalized double in [0, 1]; the plug-in and its editor see the
// plain value. Writes happen under a lazily created recursive lock and are also
// atomic exchanges, so the audio thread reads plain values lock-free (each
// subclass has a noexcept `value()` for that). Listeners hear of every change on
// the thread that made it; edit gestures from the editor reach the host through
// the client's IHostCommand, and host writes are ignored while a gesture is open.

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>

#include "framework/client/parameterinfo.h"
#include "framework/core/uncheckedmutex.h"
#include "framework/core/vec.h"

namespace fw {

class Client;
class IHostCommand;
class IParameterListener;

class Parameter {
public:
    virtual ~Parameter();
    Parameter(const Parameter&) = delete;
    Parameter& operator=(const Parameter&) = delete;

    // UI thread, while the editor is built or torn down. The list has its own
    // lock, so host automation notifying on another thread meanwhile is safe.
    void addListener(IParameterListener* listener);
    // UI thread. Removes the first equal entry; the last entry takes its place.
    void removeListener(IParameterListener* listener) noexcept;
    // Any thread but the audio thread. How many listeners are registered.
    int numListeners() const noexcept;

    // Any thread.
    const std::string& name() const noexcept { return name_; }
    const std::string& label() const noexcept { return label_; }
    int index() const noexcept { return index_; }
    bool isAutomatable() const noexcept { return isAutomatable_; }
    // Build time. Marks the parameter as not automatable; returns itself for chaining.
    Parameter& nonAutomatable() noexcept;

    // Any host thread. Ignored while an edit gesture is open or when `normalized`
    // is NaN; otherwise stores and notifies the listeners (the host is not called back).
    void setFromHost(double normalized) noexcept;
    // Any host thread.
    double getForHost() noexcept { return getNormalized(); }
    // Any thread. The current value as display text, bounded by `size` (zero-terminated).
    void toDisplayN(char* buffer, unsigned size) noexcept { toStringN(buffer, size); }

    // UI thread. Gestures: begin, any number of editor writes, end.
    void beginParamEdit() noexcept;
    void endParamEdit() noexcept;
    // UI thread. Only the listeners hear of hovering; the host is not told.
    void beginParamHover() noexcept;
    void endParamHover() noexcept;

    // Any thread but the audio thread (takes the value lock).
    virtual double getNormalized() noexcept = 0;
    // Any thread.
    virtual double getNormalizedDefault() const noexcept = 0;
    // Any thread. Text for a normalized value, bounded by `size` (zero-terminated).
    virtual void stringFromNormalizedValue(double normalized, char* buffer, unsigned size) const noexcept = 0;
    // Any thread. Parses display text; false with NaN in `normalized` when the text
    // is not accepted.
    [[nodiscard]] virtual bool normalizedValueFromString(std::string_view text, double& normalized) const noexcept = 0;
    // Any thread. True for bool, integer and enum parameters.
    virtual bool isDiscrete() const noexcept = 0;
    // Any thread but the audio thread. Stores only (NaN is ignored); nobody is notified.
    virtual void setNormalized(double normalized) noexcept = 0;
    // Any thread but the audio thread. The current value as text, bounded by `size`.
    virtual void toStringN(char* buffer, unsigned size) noexcept = 0;

    // Any thread, including the audio thread; lock-free. The plain value (0 or 1 for
    // a bool).
    virtual double plainValue() const noexcept = 0;
    // Audio thread; never blocks, never allocates. Stores a plain value without the
    // lock and without notifying anyone (a format whose host owns the controls):
    // clamped to the range, rounded for the discrete kinds; NaN is ignored.
    virtual void storePlainFromAudioThread(double plain) noexcept = 0;
    // Any thread. The parameter's own mapping, clamped to its range; NaN maps to the
    // minimum for the discrete kinds.
    virtual double plainFromNormalized(double normalized) const noexcept = 0;
    virtual double normalizedFromPlain(double plain) const noexcept = 0;

    // Any thread (the description does not change after build time). What a host
    // shows of the parameter: name, unit, kind, plain range, default, steps, texts.
    ParameterInfo describe() const;

    // Any thread. Number of open edit gestures.
    int editCount() const noexcept { return editCount_.load(std::memory_order_acquire); }

protected:
    Parameter(int index, std::string name, std::string label);

    // The lock around value writes (and reads that must agree with a write).
    UncheckedMutex& valueMutex() const noexcept { return valueMutex_; }

    // Fills the kind, range, plain default, steps, scale and value texts of `info`.
    virtual void describeRange(ParameterInfo& info) const = 0;

    // The host of the owning client; null before the wrapper has set one.
    IHostCommand* hostCommand() const noexcept;

    // Every listener's onParameterChanged, in list order.
    void notifyListeners() noexcept;
    // The editor-write sequence: run `store` under the lock and read the normalized
    // value back under the same lock (it is recursive), then tell the host that value
    // and notify the listeners.
    template <class StoreFn>
    void editorWrite(StoreFn&& store) noexcept {
        double normalized;
        {
            std::lock_guard<UncheckedMutex> lock(valueMutex_);
            store();
            normalized = getNormalized();
        }
        automateAndNotify(normalized);
    }

private:
    friend class Client;
    void attachToClient(Client* client) noexcept { client_ = client; }
    void automateAndNotify(double normalized) noexcept;

    Client* client_ = nullptr;
    int index_;
    std::string name_;
    std::string label_;
    bool isAutomatable_ = true;
    // Held while the list changes and while listeners are called (recursive, so
    // a listener may register or remove listeners). Listeners may take value
    // locks; no value lock is held while this one is taken.
    mutable UncheckedMutex listenersMutex_;
    Vec<IParameterListener*> listeners_;
    std::atomic<int> editCount_{0};
    mutable UncheckedMutex valueMutex_;
};

}  // namespace fw
