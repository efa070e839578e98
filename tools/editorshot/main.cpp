// editorshot: renders Kestrin 3's editor off-screen, through the same tree and
// frame cycle a window shows, and writes what the window would show as a PNG.
//
//   editorshot [options] -o FILE.png
//     --scale S            0.5, 0.75, 1, 1.25, 1.5, 1.75 or 2 (default 1: 900 x 450)
//     --preset P           a factory preset by name or number
//     --set NAME=VALUE     a parameter, as `kestrin render` takes it (repeatable)
//     --hover X,Y          the pointer rests at X,Y (editor pixels)
//     --press X,Y          the left button is held down at X,Y
//     --drag X0,Y0,X1,Y1   press at X0,Y0 and move, button held, to X1,Y1
//     --shift --ctrl --alt modifiers held during the press or drag
//     --crop X,Y,W,H       write only that part of the window
//   editorshot --gallery -o FILE.png
//     one of each widget of the package and of the editor, with sample data

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "editorsession.h"
#include "gallery.h"
#include "framework/graphics/pngencode.h"

namespace {

const char* const kUsage =
    "usage: editorshot [--scale S] [--preset P] [--set NAME=VALUE]... [--hover X,Y | --press X,Y |\n"
    "                  --drag X0,Y0,X1,Y1] [--shift] [--ctrl] [--alt] [--crop X,Y,W,H] -o FILE.png\n"
    "       editorshot --gallery -o FILE.png\n"
    "  S is 0.5, 0.75, 1, 1.25, 1.5, 1.75 or 2; coordinates are pixels of the editor at that scale.\n"
    "  --gallery shows one of each widget of the package and of the editor, with sample data.\n";

int fail(const std::string& message) {
    std::fprintf(stderr, "editorshot: %s\n", message.c_str());
    return 2;
}

// Comma-separated integers, exactly `count` of them.
bool parseInts(const char* text, int count, int* out) {
    const char* p = text;
    for (int i = 0; i < count; ++i) {
        char* end = nullptr;
        const long v = std::strtol(p, &end, 10);
        if (end == p || v < -100000 || v > 100000) return false;
        out[i] = int(v);
        p = end;
        if (i + 1 < count) {
            if (*p != ',') return false;
            ++p;
        }
    }
    return *p == '\0';
}

enum class Pointer { none, hover, press, drag };

}  // namespace

int main(int argc, char** argv) {
    double scale = 1.0;
    std::string output;
    std::string preset;
    std::vector<std::pair<std::string, std::string>> settings;
    Pointer pointer = Pointer::none;
    int coords[4] = {0, 0, 0, 0};
    int crop[4] = {0, 0, 0, 0};
    bool cropped = false;
    fw::MouseState mods;
    bool gallery = false;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "-o" || arg == "--output") {
            const char* v = value();
            if (v == nullptr) return fail("-o needs a file name");
            output = v;
        } else if (arg == "--scale") {
            const char* v = value();
            char* end = nullptr;
            scale = v != nullptr ? std::strtod(v, &end) : 0.0;
            if (v == nullptr || *end != '\0' || !editorshot::isEditorWidth(int(std::lround(scale * 900))) ||
                std::fabs(scale * 900 - std::lround(scale * 900)) > 1e-9)
                return fail("--scale takes 0.5, 0.75, 1, 1.25, 1.5, 1.75 or 2");
        } else if (arg == "--preset") {
            const char* v = value();
            if (v == nullptr) return fail("--preset needs a name or number");
            preset = v;
        } else if (arg == "--set") {
            const char* v = value();
            const char* eq = v != nullptr ? std::strchr(v, '=') : nullptr;
            if (eq == nullptr || eq == v) return fail("--set takes NAME=VALUE");
            settings.emplace_back(std::string(v, eq), std::string(eq + 1));
        } else if (arg == "--hover" || arg == "--press" || arg == "--drag") {
            const int n = arg == "--drag" ? 4 : 2;
            const char* v = value();
            if (v == nullptr || !parseInts(v, n, coords))
                return fail(arg + (n == 4 ? " takes X0,Y0,X1,Y1" : " takes X,Y"));
            pointer = arg == "--hover" ? Pointer::hover : arg == "--press" ? Pointer::press : Pointer::drag;
        } else if (arg == "--crop") {
            const char* v = value();
            if (v == nullptr || !parseInts(v, 4, crop) || crop[2] <= 0 || crop[3] <= 0)
                return fail("--crop takes X,Y,W,H with a positive width and height");
            cropped = true;
        } else if (arg == "--gallery") {
            gallery = true;
        } else if (arg == "--shift") {
            mods.shiftPressed = true;
        } else if (arg == "--ctrl") {
            mods.ctrlPressed = true;
        } else if (arg == "--alt") {
            mods.altPressed = true;
        } else {
            std::fputs(kUsage, stderr);
            return fail("unknown option " + arg);
        }
    }
    if (output.empty()) {
        std::fputs(kUsage, stderr);
        return fail("no output file (-o FILE.png)");
    }

    if (gallery) {
        if (fw::Status s = editorshot::writeGallery(output.c_str()); !s) return fail(output + ": " + s.message());
        std::printf("%s: the widget gallery\n", output.c_str());
        return 0;
    }

    editorshot::EditorSession session(int(std::lround(scale * 900)));
    std::string message;
    if (!preset.empty() && !session.applyPreset(preset, message)) return fail(message);
    for (const auto& [name, v] : settings)
        if (!session.applySetting(name, v, message)) return fail(message);
    session.frame();

    fw::OffscreenWindow& w = session.window();
    switch (pointer) {
        case Pointer::none:
            break;
        case Pointer::hover:
            w.mouseMove(coords[0], coords[1], mods);
            break;
        case Pointer::press: {
            w.mouseMove(coords[0], coords[1], mods);
            fw::MouseState held = mods;
            held.leftButtonDown = true;
            w.mouseDown(coords[0], coords[1], fw::MouseButton::left, false, held);
            break;
        }
        case Pointer::drag: {
            w.mouseMove(coords[0], coords[1], mods);
            fw::MouseState held = mods;
            held.leftButtonDown = true;
            w.mouseDown(coords[0], coords[1], fw::MouseButton::left, false, held);
            // In steps of a few pixels, as a real pointer moves.
            const int steps = std::max(1, int(std::hypot(coords[2] - coords[0], coords[3] - coords[1]) / 4));
            for (int s = 1; s <= steps; ++s)
                w.mouseMove(coords[0] + (coords[2] - coords[0]) * s / steps,
                            coords[1] + (coords[3] - coords[1]) * s / steps, held);
            break;
        }
    }
    session.frame();

    fw::ImageRef<const fw::RGBA> picture = session.screen();
    if (cropped) {
        picture = picture.cropImageRef(fw::Box::rectangle(crop[0], crop[1], crop[2], crop[3]));
        if (picture.w <= 0 || picture.h <= 0) return fail("--crop lies outside the editor");
    }
    if (fw::Status s = fw::writePNGFile(output.c_str(), picture); !s) return fail(output + ": " + s.message());
    std::printf("%s: %d x %d\n", output.c_str(), picture.w, picture.h);
    return 0;
}
