// kestrin_lv2_ttl: writes the Turtle files of Kestrin.lv2 from the client itself.
//   kestrin_lv2_ttl BUNDLE_DIR [--ui-binary FILE]

#include <cstdio>
#include <string>
#include <string_view>

#include "kestrin/lv2/kestrinlv2.h"

int main(int argc, char** argv) {
    std::string uiBinary;
    if (argc == 4 && std::string_view(argv[2]) == "--ui-binary") uiBinary = argv[3];
    if (argc != 2 && uiBinary.empty()) {
        std::fprintf(stderr, "usage: kestrin_lv2_ttl BUNDLE_DIR [--ui-binary FILE]\n");
        return 2;
    }
    const fw::Status s = fw::lv2::writeBundleDescription(argv[1], kestrin::lv2::bundleDescription(uiBinary),
                                                         &kestrin::lv2::makeClient);
    if (!s) {
        std::fprintf(stderr, "kestrin_lv2_ttl: %s in %s\n", s.message(), argv[1]);
        return 1;
    }
    return 0;
}
