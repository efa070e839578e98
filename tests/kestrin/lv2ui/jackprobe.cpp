#include "jackprobe.h"

#include <unistd.h>

#include <cmath>
#include <numbers>

namespace kestrintest {

JackProbe::JackProbe() {
    client_ = jack_client_open("kestrin-probe", JackNoStartServer, nullptr);
    if (client_ == nullptr) return;
    step_ = 2.0 * std::numbers::pi * 441.0 / double(jack_get_sample_rate(client_));
    out_ = jack_port_register(client_, "sine", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    inL_ = jack_port_register(client_, "left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    inR_ = jack_port_register(client_, "right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    if (out_ == nullptr || inL_ == nullptr || inR_ == nullptr || jack_set_process_callback(client_, process, this) != 0 ||
        jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
    }
}

JackProbe::~JackProbe() {
    if (client_ != nullptr) {
        jack_deactivate(client_);
        jack_client_close(client_);
    }
}

bool JackProbe::connectTo(const std::string& client) {
    if (client_ == nullptr) return false;
    const std::string prefix = client + ":";
    const char** inputs = jack_get_ports(client_, prefix.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput);
    const char** outputs = jack_get_ports(client_, prefix.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
    bool connected = inputs != nullptr && inputs[0] != nullptr && outputs != nullptr && outputs[0] != nullptr &&
                     outputs[1] != nullptr;
    if (connected) {
        connected = jack_connect(client_, jack_port_name(out_), inputs[0]) == 0 &&
                    jack_connect(client_, outputs[0], jack_port_name(inL_)) == 0 &&
                    jack_connect(client_, outputs[1], jack_port_name(inR_)) == 0;
    }
    if (inputs != nullptr) jack_free(inputs);
    if (outputs != nullptr) jack_free(outputs);
    return connected;
}

JackProbe::Peaks JackProbe::measure(double seconds) {
    restart_.store(true, std::memory_order_relaxed);
    for (int i = 0; i < 2000 && restart_.load(std::memory_order_acquire); ++i) usleep(1000);
    const unsigned long wanted = (unsigned long)(seconds * double(jack_get_sample_rate(client_)));
    // The dummy driver runs in real time; give it twice as long before giving up.
    for (int i = 0; i < int(seconds * 200.0) && frames_.load(std::memory_order_acquire) < wanted; ++i) usleep(10000);
    return {peakL_.load(std::memory_order_relaxed), peakR_.load(std::memory_order_relaxed)};
}

int JackProbe::process(jack_nframes_t frames, void* context) {
    auto* self = static_cast<JackProbe*>(context);
    auto* out = static_cast<float*>(jack_port_get_buffer(self->out_, frames));
    const auto* l = static_cast<const float*>(jack_port_get_buffer(self->inL_, frames));
    const auto* r = static_cast<const float*>(jack_port_get_buffer(self->inR_, frames));
    float peakL = self->peakL_.load(std::memory_order_relaxed);
    float peakR = self->peakR_.load(std::memory_order_relaxed);
    unsigned long counted = self->frames_.load(std::memory_order_relaxed);
    const bool restart = self->restart_.load(std::memory_order_relaxed);
    if (restart) peakL = peakR = 0.0f, counted = 0;
    for (jack_nframes_t i = 0; i < frames; ++i) {
        out[i] = float(0.25 * std::sin(self->phase_));
        self->phase_ = std::fmod(self->phase_ + self->step_, 2.0 * std::numbers::pi);
        peakL = std::fmax(peakL, std::fabs(l[i]));
        peakR = std::fmax(peakR, std::fabs(r[i]));
    }
    self->peakL_.store(peakL, std::memory_order_relaxed);
    self->peakR_.store(peakR, std::memory_order_relaxed);
    // Release: measure() reads the peaks once it sees the count (or the restart) move.
    self->frames_.store(counted + frames, std::memory_order_release);
    if (restart) self->restart_.store(false, std::memory_order_release);
    return 0;
}

}  // namespace kestrintest
