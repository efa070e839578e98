#include <cstring>

#include "framework/client/hostcommand.h"

namespace fw {

namespace {

struct DAWRule {
    const char* fragment;
    DAW daw;
};

// Order matters: the first fragment found wins, so "vst3plugintesthost" must be
// tested before "vsthost".
constexpr DAWRule kRules[] = {
    {"reaper", DAW::reaper},
    {"cubase", DAW::cubase},
    {"nuendo", DAW::nuendo},
    {"cakewalk", DAW::cakewalk},
    {"samplitude", DAW::samplitude},
    {"fruity", DAW::flStudio},
    {"live", DAW::ableton},
    {"melodyne", DAW::melodyne},
    {"vstmanlib", DAW::vstManLib},
    {"aulab", DAW::auLab},
    {"garageband", DAW::garageBand},
    {"forte", DAW::forte},
    {"chainer", DAW::chainer},
    {"audition", DAW::audition},
    {"orion", DAW::orion},
    {"sawstudio", DAW::sawStudio},
    {"logic", DAW::logic},
    {"digital", DAW::digitalPerformer},
    {"audiomulch", DAW::audioMulch},
    {"presonus", DAW::studioOne},
    {"vst3plugintesthost", DAW::vst3TestHost},
    {"vsthost", DAW::vstHost},
    {"protools", DAW::proTools},
    {"ardour", DAW::ardour},
    {"standalone", DAW::standalone},
};

}  // namespace

DAW identifyDAW(const char* hostName) noexcept {
    if (hostName == nullptr) return DAW::unknown;
    for (const DAWRule& rule : kRules)
        if (std::strstr(hostName, rule.fragment) != nullptr) return rule.daw;
    return DAW::unknown;
}

}  // namespace fw
