/* Audio Components: registration, lookup and instantiation of audio plug-ins
   through a factory function. An instance is a ComponentInstance, the same
   handle the Component Manager uses, so GetComponentInstanceStorage works on it.
   For an instance made by a factory, its storage starts out as the plug-in's
   AudioComponentPlugInInterface pointer (the `self` of every method). */
#ifndef AUDIOTOOLBOX_AUDIOCOMPONENT_H_
#define AUDIOTOOLBOX_AUDIOCOMPONENT_H_

#include <CoreFoundation/CoreFoundation.h>
#include <CoreAudioTypes/CoreAudioTypes.h>

CF_EXTERN_C_BEGIN

typedef CF_OPTIONS(UInt32, AudioComponentFlags){
    kAudioComponentFlag_Unsearchable = 1,
    kAudioComponentFlag_SandboxSafe = 2,
    kAudioComponentFlag_IsV3AudioUnit = 4,
    kAudioComponentFlag_RequiresAsyncInstantiation = 8,
    kAudioComponentFlag_CanLoadInProcess = 0x10,
};

typedef CF_OPTIONS(UInt32, AudioComponentInstantiationOptions){
    kAudioComponentInstantiation_LoadOutOfProcess = 1,
    kAudioComponentInstantiation_LoadInProcess = 2,
};

#pragma pack(push, 4)
/* Zero fields (and flag bits outside componentFlagsMask) match anything when searching. */
typedef struct AudioComponentDescription {
    OSType componentType;
    OSType componentSubType;
    OSType componentManufacturer;
    UInt32 componentFlags;
    UInt32 componentFlagsMask;
} AudioComponentDescription;
#pragma pack(pop)

typedef struct OpaqueAudioComponent* AudioComponent;
struct ComponentInstanceRecord;
typedef struct ComponentInstanceRecord* AudioComponentInstance;

typedef OSStatus (*AudioComponentMethod)(void* self, ...);

typedef struct AudioComponentPlugInInterface {
    OSStatus (*Open)(void* self, AudioComponentInstance mInstance);
    OSStatus (*Close)(void* self);
    AudioComponentMethod (*Lookup)(SInt16 selector); /* NULL for an unimplemented selector */
    void* reserved;                                  /* must be NULL */
} AudioComponentPlugInInterface;

typedef AudioComponentPlugInInterface* (*AudioComponentFactoryFunction)(const AudioComponentDescription* inDesc);

/* Any thread. Components registered with the Component Manager are found too,
   after those registered here. */
CF_EXPORT AudioComponent AudioComponentFindNext(AudioComponent inComponent, const AudioComponentDescription* inDesc);
CF_EXPORT UInt32 AudioComponentCount(const AudioComponentDescription* inDesc);
CF_EXPORT OSStatus AudioComponentCopyName(AudioComponent inComponent, CFStringRef* outName);
CF_EXPORT OSStatus AudioComponentGetDescription(AudioComponent inComponent, AudioComponentDescription* outDesc);
CF_EXPORT OSStatus AudioComponentGetVersion(AudioComponent inComponent, UInt32* outVersion);

/* Any thread. The factory is called, then the interface's Open. */
CF_EXPORT OSStatus AudioComponentInstanceNew(AudioComponent inComponent, AudioComponentInstance* outInstance);
/* Any thread, but never while another thread uses the instance. Calls Close. */
CF_EXPORT OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance);
CF_EXPORT AudioComponent AudioComponentInstanceGetComponent(AudioComponentInstance inInstance);
CF_EXPORT Boolean AudioComponentInstanceCanDo(AudioComponentInstance inInstance, SInt16 inSelectorID);

/* Any thread. inName is retained; a description equal to a registered one
   (all five fields) gives a second component, found after the first. */
CF_EXPORT AudioComponent AudioComponentRegister(const AudioComponentDescription* inDesc, CFStringRef inName,
                                                UInt32 inVersion, AudioComponentFactoryFunction inFactory);

CF_EXTERN_C_END

#endif /* AUDIOTOOLBOX_AUDIOCOMPONENT_H_ */
