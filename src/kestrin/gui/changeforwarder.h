#pragma once
// ChangeForwarder: the second listener facet of the tempo-aware widgets.
// Registered with the parameters a widget hears besides the one it shows, it
// forwards their changes to one member of the widget and ignores gestures and
// hovering.

#include "framework/client/parameterlistener.h"

namespace kestrin {

template <class Owner, void (Owner::*Changed)(fw::Parameter&) noexcept>
class ChangeForwarder final : public fw::IParameterListener {
public:
    explicit ChangeForwarder(Owner& owner) noexcept : owner_(owner) {}

    // Thread that changed the value.
    void onParameterChanged(fw::Parameter& sender) noexcept override { (owner_.*Changed)(sender); }
    // UI thread; nothing.
    void onBeginParameterEdit(fw::Parameter&) noexcept override {}
    void onEndParameterEdit(fw::Parameter&) noexcept override {}
    void onBeginParameterHover(fw::Parameter&) noexcept override {}
    void onEndParameterHover(fw::Parameter&) noexcept override {}

private:
    Owner& owner_;
};

}  // namespace kestrin
