/* Music devices: note and MIDI entry points of instruments and MIDI effects. */
#ifndef AUDIOTOOLBOX_MUSICDEVICE_H_
#define AUDIOTOOLBOX_MUSICDEVICE_H_

#include <AudioToolbox/AUComponent.h>

CF_EXTERN_C_BEGIN

typedef UInt32 MusicDeviceInstrumentID;
typedef UInt32 MusicDeviceGroupID;
typedef UInt32 NoteInstanceID;
typedef AudioComponentInstance MusicDeviceComponent;

typedef struct MusicDeviceStdNoteParams {
    UInt32 argCount; /* 2 */
    Float32 mPitch;
    Float32 mVelocity;
} MusicDeviceStdNoteParams;

typedef struct NoteParamsControlValue {
    AudioUnitParameterID mID;
    AudioUnitParameterValue mValue;
} NoteParamsControlValue;

typedef struct MusicDeviceNoteParams {
    UInt32 argCount; /* number of controls + 2 */
    Float32 mPitch;
    Float32 mVelocity;
    NoteParamsControlValue mControls[1];
} MusicDeviceNoteParams;

enum { kMusicNoteEvent_UseGroupInstrument = 0xFFFFFFFF, kMusicNoteEvent_Unused = 0xFFFFFFFF };

enum {
    kMusicDeviceSampleFrameMask_SampleOffset = 0xFFFFFF,
    kMusicDeviceSampleFrameMask_IsScheduled = 0x01000000
};

CF_ENUM(AudioUnitPropertyID){
    kMusicDeviceProperty_InstrumentCount = 1000,
    kMusicDeviceProperty_InstrumentName = 1001,
    kMusicDeviceProperty_GroupOutputBus = 1002,
    kMusicDeviceProperty_SoundBankFSSpec = 1003,
    kMusicDeviceProperty_InstrumentNumber = 1004,
    kMusicDeviceProperty_UsesInternalReverb = 1005,
    kMusicDeviceProperty_MIDIXMLNames = 1006,
    kMusicDeviceProperty_BankName = 1007,
    kMusicDeviceProperty_SoundBankData = 1008,
    kMusicDeviceProperty_PartGroup = 1010,
    kMusicDeviceProperty_StreamFromDisk = 1011,
    kMusicDeviceProperty_SoundBankFSRef = 1012,
    kMusicDeviceProperty_DualSchedulingMode = 1013,
    kMusicDeviceProperty_SupportsStartStopNote = 1014,
    kMusicDeviceProperty_SoundBankURL = 1100,
};

enum {
    kMusicDeviceRange = 0x0100,
    kMusicDeviceMIDIEventSelect = 0x0101,
    kMusicDeviceSysExSelect = 0x0102,
    kMusicDevicePrepareInstrumentSelect = 0x0103,
    kMusicDeviceReleaseInstrumentSelect = 0x0104,
    kMusicDeviceStartNoteSelect = 0x0105,
    kMusicDeviceStopNoteSelect = 0x0106
};

/* Any thread; the unit decides where the events take effect. */
CF_EXPORT OSStatus MusicDeviceMIDIEvent(MusicDeviceComponent inUnit, UInt32 inStatus, UInt32 inData1,
                                        UInt32 inData2, UInt32 inOffsetSampleFrame);
CF_EXPORT OSStatus MusicDeviceSysEx(MusicDeviceComponent inUnit, const UInt8* inData, UInt32 inLength);
CF_EXPORT OSStatus MusicDeviceStartNote(MusicDeviceComponent inUnit, MusicDeviceInstrumentID inInstrument,
                                        MusicDeviceGroupID inGroupID, NoteInstanceID* outNoteInstanceID,
                                        UInt32 inOffsetSampleFrame, const MusicDeviceNoteParams* inParams);
CF_EXPORT OSStatus MusicDeviceStopNote(MusicDeviceComponent inUnit, MusicDeviceGroupID inGroupID,
                                       NoteInstanceID inNoteInstanceID, UInt32 inOffsetSampleFrame);
CF_EXPORT OSStatus MusicDevicePrepareInstrument(MusicDeviceComponent inUnit, MusicDeviceInstrumentID inInstrument);
CF_EXPORT OSStatus MusicDeviceReleaseInstrument(MusicDeviceComponent inUnit, MusicDeviceInstrumentID inInstrument);

typedef OSStatus (*MusicDeviceMIDIEventProc)(void* self, UInt32 inStatus, UInt32 inData1, UInt32 inData2,
                                             UInt32 inOffsetSampleFrame);
typedef OSStatus (*MusicDeviceSysExProc)(void* self, const UInt8* inData, UInt32 inLength);
typedef OSStatus (*MusicDeviceStartNoteProc)(void* self, MusicDeviceInstrumentID inInstrument,
                                             MusicDeviceGroupID inGroupID, NoteInstanceID* outNoteInstanceID,
                                             UInt32 inOffsetSampleFrame, const MusicDeviceNoteParams* inParams);
typedef OSStatus (*MusicDeviceStopNoteProc)(void* self, MusicDeviceGroupID inGroupID,
                                            NoteInstanceID inNoteInstanceID, UInt32 inOffsetSampleFrame);
/* Not in the public API on macOS; the shape follows the host functions above. */
typedef OSStatus (*MusicDevicePrepareInstrumentProc)(void* self, MusicDeviceInstrumentID inInstrument);
typedef OSStatus (*MusicDeviceReleaseInstrumentProc)(void* self, MusicDeviceInstrumentID inInstrument);

CF_EXTERN_C_END

#endif /* AUDIOTOOLBOX_MUSICDEVICE_H_ */
