#include "art.h"

namespace artgen {

std::vector<NamedImage> drawAll() {
    std::vector<NamedImage> images;
    images.push_back({"background-neumorphic.png", drawBackground()});
    images.push_back({"knob-large.png", drawKnobStrip(kLargeKnobFrame)});
    images.push_back({"knob-small.png", drawKnobStrip(kSmallKnobFrame)});
    images.push_back({"switch-off.png", drawSwitch(false)});
    images.push_back({"switch-on.png", drawSwitch(true)});
    images.push_back({"slider.png", drawSlider()});
    for (int i = 0; i < 4; ++i) images.push_back({"upsample-" + std::to_string(i) + ".png", drawUpsample(i)});
    return images;
}

}  // namespace artgen
