/* NSEvent: one input event read from the X server. Main thread.

   Mouse buttons: X button 1 gives mouseDown:/mouseDragged:/mouseUp: (button
   number 0), 3 the rightMouse ones (1), 2 the otherMouse ones (2), 8 and 9
   otherMouse with button numbers 3 and 4. The wheel (X buttons 4/5 and 6/7)
   gives scrollWheel: with deltaY +1/-1 and deltaX +1/-1 per step. A press goes
   to the deepest view under the pointer; the drags and the release go to that
   view even outside it. Successive presses of one button within
   +doubleClickInterval and 4 pixels count 2, 3, ... Key events go to the
   window's first responder; mouseMoved: too, when the window accepts
   mouse-moved events. Pressing a modifier key alone gives flagsChanged:.

   -characters is the text X gives for the key with the modifiers held (Control
   gives control characters, Option is ignored); -charactersIgnoringModifiers
   keeps only Shift and Caps Lock. Special keys give what macOS gives: the
   private-use NS...FunctionKey characters for arrows, function keys, Home,
   End, Page Up/Down, Help and forward delete; 0x7F for Delete (backspace),
   "\r" for Return, 0x1B for Escape, 0x03 for keypad Enter; the keypad digits
   whatever the Num Lock state.

   Class "NSEvent" answers:
     + pressedMouseButtons   NSUInteger (*)(Class, SEL)   bit 0 left, 1 right, 2 middle
     + modifierFlags         NSEventModifierFlags (*)(Class, SEL)   as last seen
     + doubleClickInterval   NSTimeInterval (*)(Class, SEL)   0.5
     - type                  NSEventType (*)(id, SEL)
     - window                id (*)(id, SEL)
     - locationInWindow      NSPoint (*)(id, SEL)   window base coordinates: X pixel
                             (x, y) of a content of height H is (x, H - y)
     - modifierFlags         NSEventModifierFlags (*)(id, SEL)
     - clickCount, buttonNumber   NSInteger (*)(id, SEL)
     - keyCode               unsigned short (*)(id, SEL)   Apple's virtual key code
                             (kVK_...); 0xFFFF for a key without one
     - characters, charactersIgnoringModifiers   id (*)(id, SEL)   NSString
     - isARepeat             BOOL (*)(id, SEL)   YES for the keyDown: events of a
                             held key after the first (X's repeated releases are dropped)
     - deltaX, deltaY, scrollingDeltaX, scrollingDeltaY   CGFloat (*)(id, SEL)
     - hasPreciseScrollingDeltas   BOOL (*)(id, SEL)   NO
     - timestamp             NSTimeInterval (*)(id, SEL)   the X server time in seconds
     - trackingArea          id (*)(id, SEL)   for entered/exited/moved from an area */
#ifndef APPKIT_NSEVENT_H_
#define APPKIT_NSEVENT_H_

#include <Foundation/NSObjCRuntime.h>

OBJC_EXTERN_C_BEGIN

typedef NSUInteger NSEventType;
enum {
    NSEventTypeLeftMouseDown = 1,
    NSEventTypeLeftMouseUp = 2,
    NSEventTypeRightMouseDown = 3,
    NSEventTypeRightMouseUp = 4,
    NSEventTypeMouseMoved = 5,
    NSEventTypeLeftMouseDragged = 6,
    NSEventTypeRightMouseDragged = 7,
    NSEventTypeMouseEntered = 8,
    NSEventTypeMouseExited = 9,
    NSEventTypeKeyDown = 10,
    NSEventTypeKeyUp = 11,
    NSEventTypeFlagsChanged = 12,
    NSEventTypeScrollWheel = 22,
    NSEventTypeOtherMouseDown = 25,
    NSEventTypeOtherMouseUp = 26,
    NSEventTypeOtherMouseDragged = 27
};

typedef NSUInteger NSEventModifierFlags;
enum {
    NSEventModifierFlagCapsLock = 1 << 16,
    NSEventModifierFlagShift = 1 << 17,
    NSEventModifierFlagControl = 1 << 18,
    NSEventModifierFlagOption = 1 << 19,
    NSEventModifierFlagCommand = 1 << 20,
    NSEventModifierFlagNumericPad = 1 << 21,
    NSEventModifierFlagHelp = 1 << 22,
    NSEventModifierFlagFunction = 1 << 23,
    NSEventModifierFlagDeviceIndependentFlagsMask = 0xffff0000UL
};

/* Characters of the special keys (Apple's private-use range). */
enum {
    NSUpArrowFunctionKey = 0xF700,
    NSDownArrowFunctionKey = 0xF701,
    NSLeftArrowFunctionKey = 0xF702,
    NSRightArrowFunctionKey = 0xF703,
    NSF1FunctionKey = 0xF704,
    NSInsertFunctionKey = 0xF727,
    NSDeleteFunctionKey = 0xF728,
    NSHomeFunctionKey = 0xF729,
    NSEndFunctionKey = 0xF72B,
    NSPageUpFunctionKey = 0xF72C,
    NSPageDownFunctionKey = 0xF72D,
    NSHelpFunctionKey = 0xF746
};

/* Apple's virtual key codes (Carbon's kVK_ names), by key position. */
enum {
    kVK_ANSI_A = 0x00, kVK_ANSI_S = 0x01, kVK_ANSI_D = 0x02, kVK_ANSI_F = 0x03, kVK_ANSI_H = 0x04,
    kVK_ANSI_G = 0x05, kVK_ANSI_Z = 0x06, kVK_ANSI_X = 0x07, kVK_ANSI_C = 0x08, kVK_ANSI_V = 0x09,
    kVK_ANSI_B = 0x0B, kVK_ANSI_Q = 0x0C, kVK_ANSI_W = 0x0D, kVK_ANSI_E = 0x0E, kVK_ANSI_R = 0x0F,
    kVK_ANSI_Y = 0x10, kVK_ANSI_T = 0x11, kVK_ANSI_1 = 0x12, kVK_ANSI_2 = 0x13, kVK_ANSI_3 = 0x14,
    kVK_ANSI_4 = 0x15, kVK_ANSI_6 = 0x16, kVK_ANSI_5 = 0x17, kVK_ANSI_Equal = 0x18, kVK_ANSI_9 = 0x19,
    kVK_ANSI_7 = 0x1A, kVK_ANSI_Minus = 0x1B, kVK_ANSI_8 = 0x1C, kVK_ANSI_0 = 0x1D,
    kVK_ANSI_RightBracket = 0x1E, kVK_ANSI_O = 0x1F, kVK_ANSI_U = 0x20, kVK_ANSI_LeftBracket = 0x21,
    kVK_ANSI_I = 0x22, kVK_ANSI_P = 0x23, kVK_ANSI_L = 0x25, kVK_ANSI_J = 0x26, kVK_ANSI_Quote = 0x27,
    kVK_ANSI_K = 0x28, kVK_ANSI_Semicolon = 0x29, kVK_ANSI_Backslash = 0x2A, kVK_ANSI_Comma = 0x2B,
    kVK_ANSI_Slash = 0x2C, kVK_ANSI_N = 0x2D, kVK_ANSI_M = 0x2E, kVK_ANSI_Period = 0x2F,
    kVK_ANSI_Grave = 0x32, kVK_ANSI_KeypadDecimal = 0x41, kVK_ANSI_KeypadMultiply = 0x43,
    kVK_ANSI_KeypadPlus = 0x45, kVK_ANSI_KeypadClear = 0x47, kVK_ANSI_KeypadDivide = 0x4B,
    kVK_ANSI_KeypadEnter = 0x4C, kVK_ANSI_KeypadMinus = 0x4E, kVK_ANSI_KeypadEquals = 0x51,
    kVK_ANSI_Keypad0 = 0x52, kVK_ANSI_Keypad1 = 0x53, kVK_ANSI_Keypad2 = 0x54, kVK_ANSI_Keypad3 = 0x55,
    kVK_ANSI_Keypad4 = 0x56, kVK_ANSI_Keypad5 = 0x57, kVK_ANSI_Keypad6 = 0x58, kVK_ANSI_Keypad7 = 0x59,
    kVK_ANSI_Keypad8 = 0x5B, kVK_ANSI_Keypad9 = 0x5C,
    kVK_Return = 0x24, kVK_Tab = 0x30, kVK_Space = 0x31, kVK_Delete = 0x33, kVK_Escape = 0x35,
    kVK_RightCommand = 0x36, kVK_Command = 0x37, kVK_Shift = 0x38, kVK_CapsLock = 0x39, kVK_Option = 0x3A,
    kVK_Control = 0x3B, kVK_RightShift = 0x3C, kVK_RightOption = 0x3D, kVK_RightControl = 0x3E,
    kVK_F17 = 0x40, kVK_F18 = 0x4F, kVK_F19 = 0x50, kVK_F20 = 0x5A, kVK_F5 = 0x60, kVK_F6 = 0x61,
    kVK_F7 = 0x62, kVK_F3 = 0x63, kVK_F8 = 0x64, kVK_F9 = 0x65, kVK_F11 = 0x67, kVK_F13 = 0x69,
    kVK_F16 = 0x6A, kVK_F14 = 0x6B, kVK_F10 = 0x6D, kVK_F12 = 0x6F, kVK_F15 = 0x71, kVK_Help = 0x72,
    kVK_Home = 0x73, kVK_PageUp = 0x74, kVK_ForwardDelete = 0x75, kVK_F4 = 0x76, kVK_End = 0x77,
    kVK_F2 = 0x78, kVK_PageDown = 0x79, kVK_F1 = 0x7A, kVK_LeftArrow = 0x7B, kVK_RightArrow = 0x7C,
    kVK_DownArrow = 0x7D, kVK_UpArrow = 0x7E
};

OBJC_EXTERN_C_END

#endif /* APPKIT_NSEVENT_H_ */
