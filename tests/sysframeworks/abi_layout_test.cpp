// The public headers reproduce Apple's 64-bit layouts and constant values.

#include <AudioToolbox/AUCocoaUIView.h>
#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AudioUnit.h>
#include <Cocoa/Cocoa.h>
#include <CoreServices/CoreServices.h>
#include <objc/message.h>

#include <gtest/gtest.h>

#include <cstddef>

extern "C" int sysfwHeadersCompileAsC(void);

namespace {

// Scalars.
static_assert(sizeof(Boolean) == 1 && sizeof(OSStatus) == 4 && sizeof(OSErr) == 2 && sizeof(CFIndex) == 8);
static_assert(sizeof(UniChar) == 2 && sizeof(Float64) == 8 && sizeof(BOOL) == 1 && sizeof(ComponentResult) == 4);

// Audio Unit structs.
static_assert(sizeof(AudioComponentDescription) == 20 && alignof(AudioComponentDescription) == 4);
static_assert(sizeof(ComponentDescription) == 20);
static_assert(sizeof(AudioComponentPlugInInterface) == 32);
static_assert(offsetof(AudioComponentPlugInInterface, Lookup) == 16 && offsetof(AudioComponentPlugInInterface, reserved) == 24);
static_assert(sizeof(AudioStreamBasicDescription) == 40 && offsetof(AudioStreamBasicDescription, mReserved) == 36);
static_assert(offsetof(AudioStreamBasicDescription, mChannelsPerFrame) == 28);
static_assert(sizeof(AudioBuffer) == 16 && offsetof(AudioBuffer, mData) == 8);
static_assert(sizeof(AudioBufferList) == 24 && offsetof(AudioBufferList, mBuffers) == 8);
static_assert(sizeof(SMPTETime) == 24 && alignof(SMPTETime) == 4 && offsetof(SMPTETime, mFrames) == 22);
static_assert(sizeof(AudioTimeStamp) == 64 && offsetof(AudioTimeStamp, mSMPTETime) == 32);
static_assert(offsetof(AudioTimeStamp, mFlags) == 56 && offsetof(AudioTimeStamp, mReserved) == 60);
static_assert(sizeof(AURenderCallbackStruct) == 16);
static_assert(sizeof(AudioUnitConnection) == 16 && offsetof(AudioUnitConnection, destInputNumber) == 12);
static_assert(sizeof(AUPreset) == 16 && offsetof(AUPreset, presetName) == 8);
static_assert(sizeof(AudioUnitParameterInfo) == 104);
static_assert(offsetof(AudioUnitParameterInfo, unitName) == 56 && offsetof(AudioUnitParameterInfo, clumpID) == 64);
static_assert(offsetof(AudioUnitParameterInfo, cfNameString) == 72 && offsetof(AudioUnitParameterInfo, unit) == 80);
static_assert(offsetof(AudioUnitParameterInfo, defaultValue) == 92 && offsetof(AudioUnitParameterInfo, flags) == 96);
static_assert(sizeof(AUChannelInfo) == 4);
static_assert(sizeof(HostCallbackInfo) == 40 && offsetof(HostCallbackInfo, transportStateProc2) == 32);
static_assert(sizeof(AudioUnitCocoaViewInfo) == 16);
static_assert(sizeof(AudioUnitParameterEvent) == 32 && alignof(AudioUnitParameterEvent) == 4);
static_assert(offsetof(AudioUnitParameterEvent, eventValues) == 16);
static_assert(sizeof(AudioUnitParameter) == 24 && offsetof(AudioUnitParameter, mElement) == 16);
static_assert(sizeof(AudioUnitProperty) == 24);
static_assert(sizeof(AudioUnitEvent) == 32 && offsetof(AudioUnitEvent, mArgument) == 8);
static_assert(sizeof(AudioUnitParameterIDName) == 16 && offsetof(AudioUnitParameterIDName, outName) == 8);
static_assert(sizeof(AudioUnitParameterStringFromValue) == 24 && offsetof(AudioUnitParameterStringFromValue, outString) == 16);
static_assert(sizeof(AudioUnitParameterValueFromString) == 24 && offsetof(AudioUnitParameterValueFromString, outValue) == 16);
static_assert(sizeof(AudioUnitParameterValueTranslation) == 32 && alignof(AudioUnitParameterValueTranslation) == 4);
static_assert(sizeof(AudioUnitExternalBuffer) == 16 && sizeof(AUMIDIOutputCallbackStruct) == 16);
static_assert(sizeof(AUHostVersionIdentifier) == 16 && sizeof(AUDependentParameter) == 8);
static_assert(sizeof(AUInputSamplesInOutputCallbackStruct) == 16 && sizeof(AudioUnitFrequencyResponseBin) == 16);
static_assert(sizeof(AudioUnitParameterHistoryInfo) == 8 && sizeof(AUParameterMIDIMapping) == 32);
static_assert(sizeof(AudioChannelDescription) == 20 && sizeof(AudioChannelLayout) == 32);
static_assert(offsetof(AudioChannelLayout, mChannelDescriptions) == 12);
static_assert(sizeof(AudioClassDescription) == 12 && sizeof(AudioValueRange) == 16);
static_assert(sizeof(AudioStreamPacketDescription) == 16);
static_assert(sizeof(MusicDeviceStdNoteParams) == 12 && sizeof(NoteParamsControlValue) == 8);
static_assert(sizeof(MusicDeviceNoteParams) == 20);

// Component Manager.
static_assert(sizeof(ComponentParameters) == 16 && alignof(ComponentParameters) == 2);
static_assert(offsetof(ComponentParameters, what) == 2 && offsetof(ComponentParameters, params) == 8);

// CoreFoundation and the runtime.
static_assert(sizeof(CFRange) == 16 && sizeof(CFArrayCallBacks) == 40);
static_assert(sizeof(CFDictionaryKeyCallBacks) == 48 && sizeof(CFDictionaryValueCallBacks) == 40);
static_assert(sizeof(CFAllocatorContext) == 72);
static_assert(sizeof(objc_super) == 16 && sizeof(objc_method_description) == 16);
static_assert(sizeof(objc_property_attribute_t) == 16 && sizeof(NSSize) == 16);

TEST(AppleHeaders, FourCharacterCodesAreBigEndianPacked) {
    EXPECT_EQ(kAudioUnitType_Effect, 1635083896u);
    EXPECT_EQ(kAudioUnitManufacturer_Apple, 1634758764u);
    EXPECT_EQ(kAudioFormatLinearPCM, 1819304813u);
    EXPECT_EQ(kAudioUnitType_Output, 0x61756F75u);
    EXPECT_EQ(kAudioUnitType_MusicDevice, 0x61756D75u);
}

TEST(AppleHeaders, ConstantsHaveApplesValues) {
    EXPECT_EQ(kAudioFormatFlagsAudioUnitCanonical, 0x29u);
    EXPECT_EQ(kAudioFormatFlagsNativeFloatPacked, 0x9u);
    EXPECT_EQ(kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable |
                  kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_IsHighResolution |
                  kAudioUnitParameterFlag_CFNameRelease,
              0xC8800010u);
    EXPECT_EQ(kAudioUnitParameterFlag_NonRealTime, 0x01000000u);
    EXPECT_EQ(kAudioUnitParameterFlag_DisplayMask, 0x00470000u);
    EXPECT_EQ(kAudioChannelLayoutTag_Stereo, 6619138u);
    EXPECT_EQ(kAudioChannelLayoutTag_Mono, 6553601u);
    EXPECT_EQ(kAudioUnitErr_InvalidProperty, -10879);
    EXPECT_EQ(kAudioUnitErr_FailedInitialization, -10875);
    EXPECT_EQ(kAudioUnitErr_InvalidPropertyValue, -10851);
    EXPECT_EQ(badComponentSelector, static_cast<OSStatus>(0x80008002u));
    EXPECT_EQ(kCFStringEncodingUTF8, 0x08000100u);
    EXPECT_EQ(kCFPropertyListXMLFormat_v1_0, 100);
    EXPECT_EQ(kAudioUnitRenderAction_PostRender, 8u);
    EXPECT_EQ(kMusicDeviceStopNoteSelect, 262);
    EXPECT_EQ(kAudioUnitRemovePropertyListenerWithUserDataSelect, 18);
    EXPECT_EQ(kComponentVersionSelect, -4);
    EXPECT_EQ(kAUParameterListener_AnyParameter, 0xFFFFFFFFu);
}

TEST(AppleHeaders, CompileAsC) { EXPECT_EQ(sysfwHeadersCompileAsC(), 40); }

}  // namespace
