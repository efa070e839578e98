#pragma once
// Observers of a parameter: editor widgets and wrapper-side objects. Every call
// is made synchronously on the thread that made the change.

namespace fw {

class Parameter;

class IParameterListener {
public:
    virtual ~IParameterListener() = default;

    // Thread that changed the value (host thread, UI thread); must not block for long.
    virtual void onParameterChanged(Parameter& sender) noexcept = 0;
    // UI thread; an edit gesture starts or ends.
    virtual void onBeginParameterEdit(Parameter& sender) noexcept = 0;
    virtual void onEndParameterEdit(Parameter& sender) noexcept = 0;
    // UI thread; the mouse enters or leaves a widget of this parameter.
    virtual void onBeginParameterHover(Parameter& sender) noexcept = 0;
    virtual void onEndParameterHover(Parameter& sender) noexcept = 0;
};

}  // namespace fw
