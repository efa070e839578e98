/* Every public header compiles as C, as on macOS. */
#include <AppKit/AppKit.h>
#include <AudioToolbox/AUCocoaUIView.h>
#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AudioUnit.h>
#include <Cocoa/Cocoa.h>
#include <CoreAudio/CoreAudioTypes.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>
#include <objc/message.h>
#include <objc/runtime.h>

int sysfwHeadersCompileAsC(void) { return (int)sizeof(AudioStreamBasicDescription); }
