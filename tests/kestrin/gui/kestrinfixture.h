#pragma once
// The plug-in's client with a recording host, and its left-side delay-time
// controls ("Delay L", "Note L", "Sync") found by name.

#include <gtest/gtest.h>

#include <memory>
#include <string_view>

#include "framework/client/boolparameter.h"
#include "framework/client/floatparameter.h"
#include "framework/client/integerparameter.h"
#include "framework/client/testclient.h"
#include "kestrin/kestrin.h"

namespace kestrintest {

struct KestrinParams {
    KestrinParams() {
        client->setHostCommand(&host);
        time = dynamic_cast<fw::FloatParameter*>(byName("Delay L"));
        note = dynamic_cast<fw::IntegerParameter*>(byName("Note L"));
        sync = dynamic_cast<fw::BoolParameter*>(byName("Sync"));
        if (time == nullptr || note == nullptr || sync == nullptr) ADD_FAILURE() << "the left delay controls are missing";
    }
    fw::Parameter* byName(std::string_view name) const {
        for (int i = 0; i < client->numParams(); ++i)
            if (client->param(i)->name() == name) return client->param(i);
        return nullptr;
    }
    // An editor write in one gesture, as a widget makes it.
    void setSync(bool on) {
        sync->beginParamEdit();
        sync->setFromGUI(on);
        sync->endParamEdit();
    }
    void setNote(int v) { note->setFromHost(note->toNormalized(v)); }

    std::unique_ptr<kestrin::Kestrin> client = fw::makeClient<kestrin::Kestrin>();
    testclient::FakeHost host;
    fw::FloatParameter* time = nullptr;
    fw::IntegerParameter* note = nullptr;
    fw::BoolParameter* sync = nullptr;
};

}  // namespace kestrintest
