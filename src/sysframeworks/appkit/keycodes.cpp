// X keysyms to Apple's virtual key codes (the positions of the keys on an
// ANSI Apple keyboard) and to the characters macOS gives for special keys.

#include "sysframeworks/appkit/appkitimpl.h"

#include <X11/keysym.h>

#include <unordered_map>

namespace appkit {
namespace {

const std::unordered_map<unsigned long, unsigned short>& keyTable() {
    static const std::unordered_map<unsigned long, unsigned short> table = {
        {XK_a, 0x00}, {XK_s, 0x01}, {XK_d, 0x02}, {XK_f, 0x03}, {XK_h, 0x04}, {XK_g, 0x05}, {XK_z, 0x06},
        {XK_x, 0x07}, {XK_c, 0x08}, {XK_v, 0x09}, {XK_b, 0x0B}, {XK_q, 0x0C}, {XK_w, 0x0D}, {XK_e, 0x0E},
        {XK_r, 0x0F}, {XK_y, 0x10}, {XK_t, 0x11}, {XK_1, 0x12}, {XK_2, 0x13}, {XK_3, 0x14}, {XK_4, 0x15},
        {XK_6, 0x16}, {XK_5, 0x17}, {XK_equal, 0x18}, {XK_9, 0x19}, {XK_7, 0x1A}, {XK_minus, 0x1B},
        {XK_8, 0x1C}, {XK_0, 0x1D}, {XK_bracketright, 0x1E}, {XK_o, 0x1F}, {XK_u, 0x20},
        {XK_bracketleft, 0x21}, {XK_i, 0x22}, {XK_p, 0x23}, {XK_l, 0x25}, {XK_j, 0x26}, {XK_apostrophe, 0x27},
        {XK_k, 0x28}, {XK_semicolon, 0x29}, {XK_backslash, 0x2A}, {XK_comma, 0x2B}, {XK_slash, 0x2C},
        {XK_n, 0x2D}, {XK_m, 0x2E}, {XK_period, 0x2F}, {XK_grave, 0x32},
        {XK_Return, 0x24}, {XK_Tab, 0x30}, {XK_ISO_Left_Tab, 0x30}, {XK_space, 0x31}, {XK_BackSpace, 0x33},
        {XK_Escape, 0x35}, {XK_Super_R, 0x36}, {XK_Super_L, 0x37}, {XK_Shift_L, 0x38}, {XK_Caps_Lock, 0x39},
        {XK_Alt_L, 0x3A}, {XK_Control_L, 0x3B}, {XK_Shift_R, 0x3C}, {XK_Alt_R, 0x3D}, {XK_Control_R, 0x3E},
        {XK_Meta_L, 0x3A}, {XK_Meta_R, 0x3D},
        {XK_KP_Decimal, 0x41}, {XK_KP_Delete, 0x41}, {XK_KP_Multiply, 0x43}, {XK_KP_Add, 0x45},
        {XK_Num_Lock, 0x47}, {XK_KP_Divide, 0x4B}, {XK_KP_Enter, 0x4C}, {XK_KP_Subtract, 0x4E},
        {XK_KP_Equal, 0x51},
        {XK_KP_0, 0x52}, {XK_KP_Insert, 0x52}, {XK_KP_1, 0x53}, {XK_KP_End, 0x53}, {XK_KP_2, 0x54},
        {XK_KP_Down, 0x54}, {XK_KP_3, 0x55}, {XK_KP_Next, 0x55}, {XK_KP_4, 0x56}, {XK_KP_Left, 0x56},
        {XK_KP_5, 0x57}, {XK_KP_Begin, 0x57}, {XK_KP_6, 0x58}, {XK_KP_Right, 0x58}, {XK_KP_7, 0x59},
        {XK_KP_Home, 0x59}, {XK_KP_8, 0x5B}, {XK_KP_Up, 0x5B}, {XK_KP_9, 0x5C}, {XK_KP_Prior, 0x5C},
        {XK_F1, 0x7A}, {XK_F2, 0x78}, {XK_F3, 0x63}, {XK_F4, 0x76}, {XK_F5, 0x60}, {XK_F6, 0x61},
        {XK_F7, 0x62}, {XK_F8, 0x64}, {XK_F9, 0x65}, {XK_F10, 0x6D}, {XK_F11, 0x67}, {XK_F12, 0x6F},
        {XK_F13, 0x69}, {XK_F14, 0x6B}, {XK_F15, 0x71}, {XK_F16, 0x6A}, {XK_F17, 0x40}, {XK_F18, 0x4F},
        {XK_F19, 0x50}, {XK_F20, 0x5A},
        {XK_Help, 0x72}, {XK_Insert, 0x72}, {XK_Home, 0x73}, {XK_Prior, 0x74}, {XK_Delete, 0x75},
        {XK_End, 0x77}, {XK_Next, 0x79}, {XK_Left, 0x7B}, {XK_Right, 0x7C}, {XK_Down, 0x7D}, {XK_Up, 0x7E},
    };
    return table;
}

// UTF-8 of one BMP character.
std::string utf8(char32_t c) {
    std::string s;
    if (c < 0x80) {
        s.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        s.push_back(static_cast<char>(0xC0 | (c >> 6)));
        s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        s.push_back(static_cast<char>(0xE0 | (c >> 12)));
        s.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    return s;
}

}  // namespace

unsigned short appleKeyCode(unsigned long keysym) {
    auto it = keyTable().find(keysym);
    return it == keyTable().end() ? 0xFFFF : it->second;
}

bool isModifierKeysym(unsigned long keysym) {
    return (keysym >= XK_Shift_L && keysym <= XK_Hyper_R) || keysym == XK_Num_Lock || keysym == XK_ISO_Level3_Shift;
}

std::string appleKeyCharacters(unsigned long keysym) {
    // NSUpArrowFunctionKey and its neighbours, in Apple's private-use range.
    switch (keysym) {
        case XK_Up: case XK_KP_Up: return keysym == XK_Up ? utf8(0xF700) : "8";
        case XK_Down: case XK_KP_Down: return keysym == XK_Down ? utf8(0xF701) : "2";
        case XK_Left: case XK_KP_Left: return keysym == XK_Left ? utf8(0xF702) : "4";
        case XK_Right: case XK_KP_Right: return keysym == XK_Right ? utf8(0xF703) : "6";
        case XK_Insert: return utf8(0xF727);
        case XK_Delete: return utf8(0xF728);
        case XK_Home: return utf8(0xF729);
        case XK_End: return utf8(0xF72B);
        case XK_Prior: return utf8(0xF72C);
        case XK_Next: return utf8(0xF72D);
        case XK_Help: return utf8(0xF746);
        case XK_BackSpace: return utf8(0x7F);
        case XK_Return: return "\r";
        case XK_KP_Enter: return utf8(0x03);
        case XK_Escape: return utf8(0x1B);
        case XK_Tab: return "\t";
        // The keypad types its digits whatever the Num Lock state.
        case XK_KP_Insert: return "0";
        case XK_KP_End: return "1";
        case XK_KP_Next: return "3";
        case XK_KP_Begin: return "5";
        case XK_KP_Home: return "7";
        case XK_KP_Prior: return "9";
        case XK_KP_Delete: return ".";
        default: break;
    }
    if (keysym >= XK_F1 && keysym <= XK_F35) return utf8(0xF704 + static_cast<char32_t>(keysym - XK_F1));
    return {};
}

}  // namespace appkit
