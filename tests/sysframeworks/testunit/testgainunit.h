#pragma once
// TestGain: a small stereo gain effect written only against Apple's Audio Unit
// API, for tests. It exports both entry styles:
//   TestGainFactory  an AudioComponentFactoryFunction
//   TestGainEntry    a Component Manager entry (ComponentRoutineProcPtr)
// Parameters: 0 "Gain" (0..2, default 1), 1 "Mix" (0..1, default 1).
// Output = input * gain (the mix only travels through state and presets).
// Private properties let tests look inside and make it send gestures.

#include <AudioToolbox/AudioToolbox.h>

#define kTestGainSubType 0x7467616Eu       /* 'tgan' */
#define kTestGainManufacturer 0x54657374u  /* 'Test' */
#define kTestGainVersion 0x00010203u

enum {
    // Read-only, 8 bytes: a TestGainCounters* into the instance.
    kTestGainProperty_Counters = 64000,
    // Write-only, 4 bytes (parameter id): sends a begin gesture, a value change
    // and an end gesture for that parameter with AUEventListenerNotify.
    kTestGainProperty_SimulateGesture = 64001,
};

typedef struct TestGainCounters {
    int initializes;
    int resets;
    int renders;
    int lastRenderFrames;
    int propertyListenerCalls;
    int scheduledImmediate;
    int scheduledRamps;
} TestGainCounters;

#ifdef __cplusplus
extern "C" {
#endif
__attribute__((visibility("default"))) AudioComponentPlugInInterface* TestGainFactory(const AudioComponentDescription* inDesc);
__attribute__((visibility("default"))) ComponentResult TestGainEntry(ComponentParameters* params, Handle storage);
#ifdef __cplusplus
}
#endif
