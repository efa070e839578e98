// Every parameter's text-to-value parser: the first byte picks the parameter, the
// rest is the text. An accepted text gives a normalized value in [0, 1] whose own
// display text is accepted again.

#include <cstdint>
#include <string_view>

#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kfuzz::LocalKestrin k;
    kfuzz::Input in(data, size);
    const int index = in.byte() % k->numParameters();
    const auto rest = in.rest();
    const std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());
    double normalized = -1;
    if (!k->parameterFromText(index, text, normalized)) return 0;
    if (!(normalized >= 0.0 && normalized <= 1.0)) kfuzz::trap("an accepted text gave a value out of [0, 1]");
    char shown[128];
    if (!k->parameterText(index, normalized, shown, sizeof shown)) kfuzz::trap("an accepted value has no text");
    double again = -1;
    if (!k->parameterFromText(index, shown, again)) kfuzz::trap("a value's own text is refused");
    return 0;
}
