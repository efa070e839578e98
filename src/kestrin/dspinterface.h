#pragma once
// The interface of a generated signal processor and the two visitors it talks to.
//
// A processor knows nothing about the plug-in framework. It declares its controls
// by calling a UI visitor once, handing over the address ("zone") of the float that
// holds each control's value, and it describes itself to a Meta visitor. Every
// visitor operation does nothing by default; a visitor overrides what it needs.

namespace kestrin {

class UI {
public:
    virtual ~UI() = default;

    // Thread of buildUserInterface (the set-up thread), for every operation below.
    virtual void declare(const char* /*key*/, const char* /*value*/, const char* /*extra*/) {}
    virtual void declare(int /*id*/, const char* /*key*/, const char* /*value*/) {}
    // Metadata for the control declared next (zone = its address; null for group keys).
    virtual void declare(float* /*zone*/, const char* /*key*/, const char* /*value*/) {}

    virtual void openTabBox(const char* /*label*/) {}
    virtual void openHorizontalBox(const char* /*label*/) {}
    virtual void openVerticalBox(const char* /*label*/) {}
    virtual void closeBox() {}

    virtual void addButton(const char* /*label*/, float* /*zone*/) {}
    virtual void addCheckButton(const char* /*label*/, float* /*zone*/) {}
    virtual void addVerticalSlider(const char* /*label*/, float* /*zone*/, float /*init*/, float /*min*/,
                                   float /*max*/, float /*step*/) {}
    virtual void addHorizontalSlider(const char* /*label*/, float* /*zone*/, float /*init*/, float /*min*/,
                                     float /*max*/, float /*step*/) {}
    virtual void addNumEntry(const char* /*label*/, float* /*zone*/, float /*init*/, float /*min*/,
                             float /*max*/, float /*step*/) {}

    // Outputs of the processor.
    virtual void addHorizontalBargraph(const char* /*label*/, float* /*zone*/, float /*min*/,
                                       float /*max*/) {}
    virtual void addVerticalBargraph(const char* /*label*/, float* /*zone*/, float /*min*/,
                                     float /*max*/) {}
};

class Meta {
public:
    virtual ~Meta() = default;
    // Thread of metadata(). One call per key/value pair.
    virtual void declare(const char* /*key*/, const char* /*value*/) {}
};

// What every generated processor implements.
class GeneratedDsp {
public:
    virtual ~GeneratedDsp() = default;

    // Set-up thread: describe the processor and its controls.
    virtual void metadata(Meta* m) = 0;
    virtual int getNumInputs() noexcept = 0;
    virtual int getNumOutputs() noexcept = 0;
    virtual void buildUserInterface(UI* ui) = 0;

    // Thread that initialised the processor (the audio thread in the plug-in).
    virtual int getSampleRate() noexcept = 0;
    virtual void instanceInit(int sampleRate) noexcept = 0;
    virtual void instanceResetUserInterface() noexcept = 0;

    // Audio thread; never blocks, never allocates. count frames; outputs[k] may be
    // the same buffer as inputs[k].
    virtual void compute(int count, float** inputs, float** outputs) noexcept = 0;

    // Audio or set-up thread; never allocates. Constants for the rate, controls back
    // to their defaults, all state cleared.
    virtual void initialize(int sampleRate) noexcept = 0;
};

}  // namespace kestrin
