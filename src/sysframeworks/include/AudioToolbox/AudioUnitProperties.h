/* Audio Unit scopes, property ids, the structs properties carry, parameter
   units and flags, and the keys of the class-info (preset) dictionary.
   Every property value travels by reference: a CF-typed property is read into
   a CFxxxRef variable (size 8), and the caller owns what it gets. */
#ifndef AUDIOTOOLBOX_AUDIOUNITPROPERTIES_H_
#define AUDIOTOOLBOX_AUDIOUNITPROPERTIES_H_

#include <AudioToolbox/AUComponent.h>

CF_EXTERN_C_BEGIN

CF_ENUM(AudioUnitScope){
    kAudioUnitScope_Global = 0,
    kAudioUnitScope_Input = 1,
    kAudioUnitScope_Output = 2,
    kAudioUnitScope_Group = 3,
    kAudioUnitScope_Part = 4,
    kAudioUnitScope_Note = 5,
    kAudioUnitScope_Layer = 6,
    kAudioUnitScope_LayerItem = 7,
};

CF_ENUM(AudioUnitPropertyID){
    kAudioUnitProperty_ClassInfo = 0,
    kAudioUnitProperty_MakeConnection = 1,
    kAudioUnitProperty_SampleRate = 2,
    kAudioUnitProperty_ParameterList = 3,
    kAudioUnitProperty_ParameterInfo = 4,
    kAudioUnitProperty_FastDispatch = 5,
    kAudioUnitProperty_CPULoad = 6,
    kAudioUnitProperty_StreamFormat = 8,
    kAudioUnitProperty_SRCAlgorithm = 9,
    kAudioUnitProperty_ReverbRoomType = 10,
    kAudioUnitProperty_ElementCount = 11,
    kAudioUnitProperty_BusCount = kAudioUnitProperty_ElementCount,
    kAudioUnitProperty_Latency = 12,
    kAudioUnitProperty_SupportedNumChannels = 13,
    kAudioUnitProperty_MaximumFramesPerSlice = 14,
    kAudioUnitProperty_SetExternalBuffer = 15,
    kAudioUnitProperty_ParameterValueStrings = 16,
    kAudioUnitProperty_MIDIControlMapping = 17,
    kAudioUnitProperty_GetUIComponentList = 18,
    kAudioUnitProperty_AudioChannelLayout = 19,
    kAudioUnitProperty_TailTime = 20,
    kAudioUnitProperty_BypassEffect = 21,
    kAudioUnitProperty_LastRenderError = 22,
    kAudioUnitProperty_SetRenderCallback = 23,
    kAudioUnitProperty_FactoryPresets = 24,
    kAudioUnitProperty_ContextName = 25,
    kAudioUnitProperty_RenderQuality = 26,
    kAudioUnitProperty_HostCallbacks = 27,
    kAudioUnitProperty_CurrentPreset = 28,
    kAudioUnitProperty_InPlaceProcessing = 29,
    kAudioUnitProperty_ElementName = 30,
    kAudioUnitProperty_CocoaUI = 31,
    kAudioUnitProperty_SupportedChannelLayoutTags = 32,
    kAudioUnitProperty_ParameterStringFromValue = 33,
    kAudioUnitProperty_ParameterValueName = kAudioUnitProperty_ParameterStringFromValue,
    kAudioUnitProperty_ParameterIDName = 34,
    kAudioUnitProperty_ParameterClumpName = 35,
    kAudioUnitProperty_PresentPreset = 36,
    kAudioUnitProperty_OfflineRender = 37,
    kAudioUnitProperty_ParameterValueFromString = 38,
    kAudioUnitProperty_IconLocation = 39,
    kAudioUnitProperty_PresentationLatency = 40,
    kAudioUnitProperty_AllParameterMIDIMappings = 41,
    kAudioUnitProperty_AddParameterMIDIMapping = 42,
    kAudioUnitProperty_RemoveParameterMIDIMapping = 43,
    kAudioUnitProperty_HotMapParameterMIDIMapping = 44,
    kAudioUnitProperty_DependentParameters = 45,
    kAudioUnitProperty_AUHostIdentifier = 46,
    kAudioUnitProperty_MIDIOutputCallbackInfo = 47,
    kAudioUnitProperty_MIDIOutputCallback = 48,
    kAudioUnitProperty_InputSamplesInOutput = 49,
    kAudioUnitProperty_ClassInfoFromDocument = 50,
    kAudioUnitProperty_ShouldAllocateBuffer = 51,
    kAudioUnitProperty_FrequencyResponse = 52,
    kAudioUnitProperty_ParameterHistoryInfo = 53,
    kAudioUnitProperty_NickName = 54,
    kAudioUnitProperty_RequestViewController = 56,
    kAudioUnitProperty_ParametersForOverview = 57,
    kAudioUnitProperty_SupportsMPE = 58,
    kAudioUnitProperty_RenderContextObserver = 60,
    kAudioUnitProperty_LoadedOutOfProcess = 62,

    kAudioUnitProperty_UsesInternalReverb = 1005,

    kAudioOutputUnitProperty_CurrentDevice = 2000,
    kAudioOutputUnitProperty_IsRunning = 2001,
    kAudioOutputUnitProperty_ChannelMap = 2002,
    kAudioOutputUnitProperty_EnableIO = 2003,
    kAudioOutputUnitProperty_StartTime = 2004,
    kAudioOutputUnitProperty_SetInputCallback = 2005,
    kAudioOutputUnitProperty_HasIO = 2006,
    kAudioOutputUnitProperty_StartTimestampsAtZero = 2007,

    kAudioUnitOfflineProperty_InputSize = 3020,
    kAudioUnitOfflineProperty_OutputSize = 3021,
    kAudioUnitOfflineProperty_StartOffset = 3022,
    kAudioUnitOfflineProperty_PreflightRequirements = 3023,
    kAudioUnitOfflineProperty_PreflightName = 3024,

    kAudioUnitMigrateProperty_FromPlugin = 4000,
    kAudioUnitMigrateProperty_OldAutomation = 4001,
};

/* Keys of the class-info dictionary (and of .aupreset files). */
#define kAUPresetVersionKey "version"
#define kAUPresetTypeKey "type"
#define kAUPresetSubtypeKey "subtype"
#define kAUPresetManufacturerKey "manufacturer"
#define kAUPresetDataKey "data"
#define kAUPresetNameKey "name"
#define kAUPresetNumberKey "preset-number"
#define kAUPresetRenderQualityKey "render-quality"
#define kAUPresetCPULoadKey "cpu-load"
#define kAUPresetElementNameKey "element-name"
#define kAUPresetExternalFileRefs "file-references"
#define kAUPresetPartKey "part"
#define kAUPresetVSTDataKey "vstdata"
#define kAUPresetVSTPresetKey "vstpreset"
#define kAUPresetMASDataKey "masdata"

/* Configuration-info keys. */
#define kAudioComponentConfigurationInfo_ValidationResult "ValidationResult"

enum {
    kRenderQuality_Max = 127,
    kRenderQuality_High = 96,
    kRenderQuality_Medium = 64,
    kRenderQuality_Low = 32,
    kRenderQuality_Min = 0
};

enum { kNumberOfResponseFrequencies = 1024 };

typedef struct AudioUnitConnection {
    AudioUnit sourceAudioUnit;
    UInt32 sourceOutputNumber;
    UInt32 destInputNumber;
} AudioUnitConnection;

typedef struct AUChannelInfo {
    SInt16 inChannels;
    SInt16 outChannels;
} AUChannelInfo;

typedef struct AudioUnitExternalBuffer {
    Byte* buffer;
    UInt32 size;
} AudioUnitExternalBuffer;

typedef struct AURenderCallbackStruct {
    AURenderCallback inputProc;
    void* inputProcRefCon;
} AURenderCallbackStruct;

typedef struct AUPreset {
    SInt32 presetNumber;
    CFStringRef presetName;
} AUPreset;

struct MIDIPacketList;
typedef OSStatus (*AUMIDIOutputCallback)(void* userData, const AudioTimeStamp* timeStamp, UInt32 midiOutNum,
                                         const struct MIDIPacketList* pktlist);

typedef struct AUMIDIOutputCallbackStruct {
    AUMIDIOutputCallback midiOutputCallback;
    void* userData;
} AUMIDIOutputCallbackStruct;

typedef struct AUInputSamplesInOutputCallbackStruct {
    AUInputSamplesInOutputCallback inputToOutputCallback;
    void* userData;
} AUInputSamplesInOutputCallbackStruct;

typedef struct AudioUnitParameterHistoryInfo {
    Float32 updatesPerSecond;
    Float32 historyDurationInSeconds;
} AudioUnitParameterHistoryInfo;

typedef struct AudioUnitFrequencyResponseBin {
    Float64 mFrequency;
    Float64 mMagnitude;
} AudioUnitFrequencyResponseBin;

typedef OSStatus (*HostCallback_GetBeatAndTempo)(void* inHostUserData, Float64* outCurrentBeat,
                                                 Float64* outCurrentTempo);
typedef OSStatus (*HostCallback_GetMusicalTimeLocation)(void* inHostUserData,
                                                        UInt32* outDeltaSampleOffsetToNextBeat,
                                                        Float32* outTimeSig_Numerator,
                                                        UInt32* outTimeSig_Denominator,
                                                        Float64* outCurrentMeasureDownBeat);
typedef OSStatus (*HostCallback_GetTransportState)(void* inHostUserData, Boolean* outIsPlaying,
                                                   Boolean* outTransportStateChanged,
                                                   Float64* outCurrentSampleInTimeLine, Boolean* outIsCycling,
                                                   Float64* outCycleStartBeat, Float64* outCycleEndBeat);
typedef OSStatus (*HostCallback_GetTransportState2)(void* inHostUserData, Boolean* outIsPlaying,
                                                    Boolean* outIsRecording, Boolean* outTransportStateChanged,
                                                    Float64* outCurrentSampleInTimeLine, Boolean* outIsCycling,
                                                    Float64* outCycleStartBeat, Float64* outCycleEndBeat);

typedef struct HostCallbackInfo {
    void* hostUserData;
    HostCallback_GetBeatAndTempo beatAndTempoProc;
    HostCallback_GetMusicalTimeLocation musicalTimeLocationProc;
    HostCallback_GetTransportState transportStateProc;
    HostCallback_GetTransportState2 transportStateProc2;
} HostCallbackInfo;

/* The named classes conform to the AUCocoaUIBase protocol (AUCocoaUIView.h).
   The property size tells how many class names follow: 8 + 8 * n. */
typedef struct AudioUnitCocoaViewInfo {
    CFURLRef mCocoaAUViewBundleLocation;
    CFStringRef mCocoaAUViewClass[1];
} AudioUnitCocoaViewInfo;

typedef struct AUHostVersionIdentifier {
    CFStringRef hostName;
    UInt32 hostVersion;
} AUHostVersionIdentifier;

typedef struct AUDependentParameter {
    AudioUnitScope mScope;
    AudioUnitParameterID mParameterID;
} AUDependentParameter;

typedef CF_ENUM(UInt32, AudioUnitParameterUnit){
    kAudioUnitParameterUnit_Generic = 0,
    kAudioUnitParameterUnit_Indexed = 1,
    kAudioUnitParameterUnit_Boolean = 2,
    kAudioUnitParameterUnit_Percent = 3,
    kAudioUnitParameterUnit_Seconds = 4,
    kAudioUnitParameterUnit_SampleFrames = 5,
    kAudioUnitParameterUnit_Phase = 6,
    kAudioUnitParameterUnit_Rate = 7,
    kAudioUnitParameterUnit_Hertz = 8,
    kAudioUnitParameterUnit_Cents = 9,
    kAudioUnitParameterUnit_RelativeSemiTones = 10,
    kAudioUnitParameterUnit_MIDINoteNumber = 11,
    kAudioUnitParameterUnit_MIDIController = 12,
    kAudioUnitParameterUnit_Decibels = 13,
    kAudioUnitParameterUnit_LinearGain = 14,
    kAudioUnitParameterUnit_Degrees = 15,
    kAudioUnitParameterUnit_EqualPowerCrossfade = 16,
    kAudioUnitParameterUnit_MixerFaderCurve1 = 17,
    kAudioUnitParameterUnit_Pan = 18,
    kAudioUnitParameterUnit_Meters = 19,
    kAudioUnitParameterUnit_AbsoluteCents = 20,
    kAudioUnitParameterUnit_Octaves = 21,
    kAudioUnitParameterUnit_BPM = 22,
    kAudioUnitParameterUnit_Beats = 23,
    kAudioUnitParameterUnit_Milliseconds = 24,
    kAudioUnitParameterUnit_Ratio = 25,
    kAudioUnitParameterUnit_CustomUnit = 26,
};

typedef CF_OPTIONS(UInt32, AudioUnitParameterOptions){
    kAudioUnitParameterFlag_CFNameRelease = (1U << 4),
    kAudioUnitParameterFlag_OmitFromPresets = (1U << 13),
    kAudioUnitParameterFlag_PlotHistory = (1U << 14),
    kAudioUnitParameterFlag_MeterReadOnly = (1U << 15),
    kAudioUnitParameterFlag_DisplayMask = (7U << 16) | (1U << 22),
    kAudioUnitParameterFlag_DisplaySquareRoot = (1U << 16),
    kAudioUnitParameterFlag_DisplaySquared = (2U << 16),
    kAudioUnitParameterFlag_DisplayCubed = (3U << 16),
    kAudioUnitParameterFlag_DisplayCubeRoot = (4U << 16),
    kAudioUnitParameterFlag_DisplayExponential = (5U << 16),
    kAudioUnitParameterFlag_HasClump = (1U << 20),
    kAudioUnitParameterFlag_ValuesHaveStrings = (1U << 21),
    kAudioUnitParameterFlag_DisplayLogarithmic = (1U << 22),
    kAudioUnitParameterFlag_IsHighResolution = (1U << 23),
    kAudioUnitParameterFlag_NonRealTime = (1U << 24),
    kAudioUnitParameterFlag_CanRamp = (1U << 25),
    kAudioUnitParameterFlag_ExpertMode = (1U << 26),
    kAudioUnitParameterFlag_HasCFNameString = (1U << 27),
    kAudioUnitParameterFlag_IsGlobalMeta = (1U << 28),
    kAudioUnitParameterFlag_IsElementMeta = (1U << 29),
    kAudioUnitParameterFlag_IsReadable = (1U << 30),
    kAudioUnitParameterFlag_IsWritable = 0x80000000U,
    kAudioUnitParameterFlag_HasName = kAudioUnitParameterFlag_ValuesHaveStrings,
    kAudioUnitParameterFlag_Global = (1U << 0),
    kAudioUnitParameterFlag_Input = (1U << 1),
    kAudioUnitParameterFlag_Output = (1U << 2),
    kAudioUnitParameterFlag_Group = (1U << 3),
};

typedef struct AudioUnitParameterInfo {
    char name[52];
    CFStringRef unitName;
    UInt32 clumpID;
    CFStringRef cfNameString;
    AudioUnitParameterUnit unit;
    AudioUnitParameterValue minValue;
    AudioUnitParameterValue maxValue;
    AudioUnitParameterValue defaultValue;
    AudioUnitParameterOptions flags;
} AudioUnitParameterInfo;

enum { kAudioUnitClumpID_System = 0 };
enum { kAudioUnitParameterName_Full = -1 };

typedef struct AudioUnitParameterNameInfo {
    AudioUnitParameterID inID;
    SInt32 inDesiredLength;
    CFStringRef outName;
} AudioUnitParameterIDName;

typedef struct AudioUnitParameterStringFromValue {
    AudioUnitParameterID inParamID;
    const AudioUnitParameterValue* inValue;
    CFStringRef outString;
} AudioUnitParameterStringFromValue;

typedef struct AudioUnitParameterValueFromString {
    AudioUnitParameterID inParamID;
    CFStringRef inString;
    AudioUnitParameterValue outValue;
} AudioUnitParameterValueFromString;

typedef struct AudioUnitParameterValueName {
    AudioUnitParameterID inParamID;
    const Float32* inValue;
    CFStringRef outName;
} AudioUnitParameterValueName;

typedef struct AUParameterMIDIMapping {
    AudioUnitScope mScope;
    AudioUnitElement mElement;
    AudioUnitParameterID mParameterID;
    UInt32 mFlags;
    AudioUnitParameterValue mSubRangeMin;
    AudioUnitParameterValue mSubRangeMax;
    UInt8 mStatus;
    UInt8 mData1;
    UInt8 reserved1;
    UInt8 reserved2;
    UInt32 reserved3;
} AUParameterMIDIMapping;

CF_ENUM(UInt32){
    kOtherPluginFormat_Undefined = 0,
    kOtherPluginFormat_kMAS = 1,
    kOtherPluginFormat_kVST = 2,
    kOtherPluginFormat_AU = 3,
};

typedef struct AudioUnitOtherPluginDesc {
    UInt32 format;
    AudioClassDescription plugin;
} AudioUnitOtherPluginDesc;

typedef struct AudioUnitParameterValueTranslation {
    AudioUnitOtherPluginDesc otherDesc;
    UInt32 otherParamID;
    Float32 otherValue;
    AudioUnitParameterID auParamID;
    AudioUnitParameterValue auValue;
} AudioUnitParameterValueTranslation;

CF_EXTERN_C_END

#endif /* AUDIOTOOLBOX_AUDIOUNITPROPERTIES_H_ */
