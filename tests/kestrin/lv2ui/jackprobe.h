// A JACK client that plays a sine into another client's left input and measures
// what comes back on its outputs: the way a test hears what a host's plug-in does
// with the port values the host holds.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <string>

namespace kestrintest {

class JackProbe {
public:
    // Opens a client on the server named by JACK_DEFAULT_SERVER; ok() tells.
    JackProbe();
    ~JackProbe();
    JackProbe(const JackProbe&) = delete;
    JackProbe& operator=(const JackProbe&) = delete;

    bool ok() const { return client_ != nullptr; }

    // Connects the sine to `client`'s first audio input (its second input gets
    // nothing) and the client's two audio outputs to the probe's inputs.
    bool connectTo(const std::string& client);

    // Peak magnitudes of the returned left and right signals over `seconds` of
    // the server's time, from now.
    struct Peaks {
        float left = 0.0f;
        float right = 0.0f;
    };
    Peaks measure(double seconds);

private:
    static int process(jack_nframes_t frames, void* self);

    jack_client_t* client_ = nullptr;
    jack_port_t* out_ = nullptr;
    jack_port_t* inL_ = nullptr;
    jack_port_t* inR_ = nullptr;
    double phase_ = 0.0;
    double step_ = 0.0;
    // measure() asks the process thread to start afresh; that thread alone
    // writes the peaks and the frame count since the restart.
    std::atomic<bool> restart_{false};
    std::atomic<float> peakL_{0.0f};
    std::atomic<float> peakR_{0.0f};
    std::atomic<unsigned long> frames_{0};
};

}  // namespace kestrintest
