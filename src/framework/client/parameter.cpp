#include "framework/client/parameter.h"

#include <cmath>
#include <utility>

#include "framework/client/client.h"
#include "framework/client/hostcommand.h"
#include "framework/client/parameterlistener.h"

namespace fw {

Parameter::Parameter(int index, std::string name, std::string label)
    : index_(index), name_(std::move(name)), label_(std::move(label)) {}

Parameter::~Parameter() = default;

ParameterInfo Parameter::describe() const {
    ParameterInfo info;
    info.name = name_;
    info.unit = label_;
    info.automatable = isAutomatable_;
    info.normalizedDefault = getNormalizedDefault();
    describeRange(info);
    return info;
}

void Parameter::addListener(IParameterListener* listener) {
    std::lock_guard<UncheckedMutex> lock(listenersMutex_);
    listeners_.pushBack(listener);
}

int Parameter::numListeners() const noexcept {
    std::lock_guard<UncheckedMutex> lock(listenersMutex_);
    return int(listeners_.length());
}

void Parameter::removeListener(IParameterListener* listener) noexcept {
    std::lock_guard<UncheckedMutex> lock(listenersMutex_);
    for (std::size_t i = 0; i < listeners_.length(); ++i) {
        if (listeners_[i] == listener) {
            listeners_.removeAndReplaceByLast(i);
            return;
        }
    }
}

Parameter& Parameter::nonAutomatable() noexcept {
    isAutomatable_ = false;
    return *this;
}

void Parameter::setFromHost(double normalized) noexcept {
    // While the user drags this parameter the editor is the source of truth; host
    // automation replayed meanwhile would fight the gesture.
    if (editCount_.load(std::memory_order_acquire) > 0) return;
    if (std::isnan(normalized)) return;
    setNormalized(normalized);
    notifyListeners();
}

void Parameter::beginParamEdit() noexcept {
    editCount_.fetch_add(1, std::memory_order_acq_rel);
    if (IHostCommand* host = hostCommand()) host->beginParamEdit(index_);
    std::lock_guard<UncheckedMutex> lock(listenersMutex_);
    for (IParameterListener* l : listeners_) l->onBeginParameterEdit(*this);
}

void Parameter::endParamEdit() noexcept {
    if (IHostCommand* host = hostCommand()) host->endParamEdit(index_);
    {
        std::lock_guard<UncheckedMutex> lock(listenersMutex_);
        for (IParameterListener* l : listeners_) l->onEndParameterEdit(*this);
    }
    editCount_.fetch_sub(1, std::memory_order_acq_rel);
}

void Parameter::beginParamHover() noexcept {
    std::lock_guard<UncheckedMutex> lock(listenersMutex_);
    for (IParameterListener* l : listeners_) l->onBeginParameterHover(*this);
}

void Parameter::endParamHover() noexcept {
    std::lock_guard<UncheckedMutex> lock(listenersMutex_);
    for (IParameterListener* l : listeners_) l->onEndParameterHover(*this);
}

IHostCommand* Parameter::hostCommand() const noexcept {
    return client_ != nullptr ? client_->hostCommand() : nullptr;
}

void Parameter::notifyListeners() noexcept {
    std::lock_guard<UncheckedMutex> lock(listenersMutex_);
    for (IParameterListener* l : listeners_) l->onParameterChanged(*this);
}

void Parameter::automateAndNotify(double normalized) noexcept {
    if (IHostCommand* host = hostCommand()) host->paramAutomate(index_, static_cast<float>(normalized));
    notifyListeners();
}

}  // namespace fw
