#include "framework/lv2/lv2transport.h"

#include <cmath>

#include <lv2/atom/util.h>
#include <lv2/time/time.h>

namespace fw::lv2 {

Lv2Transport::Lv2Transport(const LV2_URID_Map* map) noexcept {
    if (map == nullptr || map->map == nullptr) return;
    auto m = [&](const char* uri) { return map->map(map->handle, uri); };
    urid_.atomObject = m(LV2_ATOM__Object);
    urid_.atomBlank = m(LV2_ATOM__Blank);
    urid_.atomResource = m(LV2_ATOM__Resource);
    urid_.atomFloat = m(LV2_ATOM__Float);
    urid_.atomDouble = m(LV2_ATOM__Double);
    urid_.atomInt = m(LV2_ATOM__Int);
    urid_.atomLong = m(LV2_ATOM__Long);
    urid_.timePosition = m(LV2_TIME__Position);
    urid_.timeBpm = m(LV2_TIME__beatsPerMinute);
    urid_.timeSpeed = m(LV2_TIME__speed);
    urid_.timeFrame = m(LV2_TIME__frame);
}

bool Lv2Transport::readNumber(const LV2_Atom* value, double& out) const noexcept {
    // The body follows the header; its size is checked against the type's.
    if (value == nullptr) return false;
    const void* body = value + 1;
    if (value->type == urid_.atomFloat && value->size >= sizeof(float)) {
        out = *static_cast<const float*>(body);
    } else if (value->type == urid_.atomDouble && value->size >= sizeof(double)) {
        out = *static_cast<const double*>(body);
    } else if (value->type == urid_.atomInt && value->size >= sizeof(std::int32_t)) {
        out = double(*static_cast<const std::int32_t*>(body));
    } else if (value->type == urid_.atomLong && value->size >= sizeof(std::int64_t)) {
        out = double(*static_cast<const std::int64_t*>(body));
    } else {
        return false;
    }
    return std::isfinite(out);
}

bool Lv2Transport::apply(const LV2_Atom* event) noexcept {
    if (event == nullptr || urid_.timePosition == 0) return false;
    if (event->type != urid_.atomObject && event->type != urid_.atomBlank && event->type != urid_.atomResource)
        return false;
    if (event->size < sizeof(LV2_Atom_Object_Body)) return false;
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(event);
    if (object->body.otype != urid_.timePosition) return false;

    const LV2_Atom* bpm = nullptr;
    const LV2_Atom* speed = nullptr;
    const LV2_Atom* frame = nullptr;
    // Walks the properties within the object's own size only.
    LV2_ATOM_OBJECT_FOREACH (object, p) {
        if (p->key == urid_.timeBpm) bpm = &p->value;
        else if (p->key == urid_.timeSpeed) speed = &p->value;
        else if (p->key == urid_.timeFrame) frame = &p->value;
    }
    double v = 0;
    if (readNumber(bpm, v) && v > 0) info_.tempo = v;
    if (readNumber(speed, v)) {
        speed_ = v;
        info_.hostIsPlaying = v != 0;
    }
    // A position no 64-bit count can hold is ignored.
    if (readNumber(frame, v) && std::fabs(v) < 9.0e18) info_.timeInSamples = std::int64_t(std::llround(v));
    return true;
}

void Lv2Transport::advance(std::int64_t frames) noexcept {
    if (speed_ == 0) return;
    const double next = double(info_.timeInSamples) + double(frames) * speed_;
    if (std::fabs(next) < 9.0e18) info_.timeInSamples = std::int64_t(std::llround(next));
}

}  // namespace fw::lv2
