/* Component Manager: registration, opening and dispatch of old-style
   components through their entry function, and per-instance storage.

   Calling convention of ComponentParameters on 64-bit (used by every caller and
   callee here):
   - `what` is the selector; `paramSize` is the byte size of the call's own
     arguments, 8 per argument (the component instance is not counted).
   - Every argument takes one `long` slot (8 bytes). The value sits at the start
     of its slot, as if stored through a pointer of its own type:
     `*(T*)&params[k] = value` (a Float32 takes the first 4 bytes; the rest of
     the slot is zero).
   - Slots are in Pascal order: the call's last argument is params[0], its first
     argument params[n - 1]; the component instance that receives the call
     follows in params[n].
   Examples (n arguments after the instance):
     kComponentOpenSelect (-1):  params[0] = the instance being opened, params[1] = instance
     kComponentCanDoSelect (-3): params[0] = the SInt16 selector asked about, params[1] = instance
     kAudioUnitGetPropertySelect (4), arguments (inID, inScope, inElement, outData, ioDataSize):
       params[0] = ioDataSize, params[1] = outData, params[2] = inElement,
       params[3] = inScope, params[4] = inID, params[5] = instance; paramSize = 40.
   A component entry receives the storage set with SetComponentInstanceStorage
   (NULL before the first set) as its second argument. */
#ifndef CORESERVICES_COMPONENTS_H_
#define CORESERVICES_COMPONENTS_H_

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

enum {
    kAppleManufacturer = 0x6170706C,         /* 'appl' */
    kComponentResourceType = 0x74686E67,     /* 'thng' */
    kComponentAliasResourceType = 0x74686761 /* 'thga' */
};

enum {
    kAnyComponentType = 0,
    kAnyComponentSubType = 0,
    kAnyComponentManufacturer = 0,
    kAnyComponentFlagsMask = 0
};

enum {
    cmpThreadSafe = 1L << 28,
    cmpIsMissing = 1L << 29,
    cmpWantsRegisterMessage = (int)(1UL << 31)
};

enum {
    kComponentOpenSelect = -1,
    kComponentCloseSelect = -2,
    kComponentCanDoSelect = -3,
    kComponentVersionSelect = -4,
    kComponentRegisterSelect = -5,
    kComponentTargetSelect = -6,
    kComponentUnregisterSelect = -7,
    kComponentGetMPWorkFunctionSelect = -8,
    kComponentExecuteWiredActionSelect = -9,
    kComponentGetPublicResourceSelect = -10
};

/* Component Manager error codes. */
enum {
    invalidComponentID = -3000,
    validInstancesExist = -3001,
    componentNotCaptured = -3002,
    componentDontRegister = -3003,
    unresolvedComponentDLLErr = -3004,
    retryComponentRegistrationErr = -3005
};
#define badComponentInstance ((OSStatus)0x80008001)
#define badComponentSelector ((OSStatus)0x80008002)

#pragma pack(push, 2)

typedef struct ComponentDescription {
    OSType componentType;
    OSType componentSubType;
    OSType componentManufacturer;
    UInt32 componentFlags;
    UInt32 componentFlagsMask;
} ComponentDescription;

struct ComponentRecord {
    long data[1];
};
typedef struct ComponentRecord ComponentRecord;
typedef ComponentRecord* Component;

struct ComponentInstanceRecord {
    long data[1];
};
typedef struct ComponentInstanceRecord ComponentInstanceRecord;
typedef ComponentInstanceRecord* ComponentInstance;

struct ComponentParameters {
    UInt8 flags;
    UInt8 paramSize;
    SInt16 what;
    UInt32 padding;
    long params[1];
};
typedef struct ComponentParameters ComponentParameters;

#pragma pack(pop)

typedef SInt32 ComponentResult;
typedef ComponentResult (*ComponentRoutineProcPtr)(ComponentParameters* cp, Handle componentStorage);
typedef ComponentRoutineProcPtr ComponentRoutineUPP;

#define NewComponentRoutineUPP(userRoutine) ((ComponentRoutineUPP)(userRoutine))
#define DisposeComponentRoutineUPP(userUPP)

/* Registration and lookup; any thread. `global` and the resource handles are
   accepted and ignored except componentName, which may hold a Pascal string. */
CF_EXPORT Component RegisterComponent(ComponentDescription* cd, ComponentRoutineUPP componentEntryPoint,
                                      SInt16 global, Handle componentName, Handle componentInfo,
                                      Handle componentIcon);
CF_EXPORT OSErr UnregisterComponent(Component aComponent);
CF_EXPORT Component FindNextComponent(Component aComponent, ComponentDescription* looking);
CF_EXPORT long CountComponents(ComponentDescription* looking);
/* componentName, when not NULL, receives the name as a Pascal string in *componentName,
   which must point to at least 256 bytes. */
CF_EXPORT OSErr GetComponentInfo(Component aComponent, ComponentDescription* cd, Handle componentName,
                                 Handle componentInfo, Handle componentIcon);
CF_EXPORT long CountComponentInstances(Component aComponent);

/* Opening and closing; any thread. */
CF_EXPORT OSErr OpenAComponent(Component aComponent, ComponentInstance* ci);
CF_EXPORT ComponentInstance OpenComponent(Component aComponent);
CF_EXPORT OSErr CloseComponent(ComponentInstance aComponentInstance);
CF_EXPORT Component GetComponentFromInstance(ComponentInstance aComponentInstance);

/* Instance storage and error; any thread, never blocks. */
CF_EXPORT Handle GetComponentInstanceStorage(ComponentInstance aComponentInstance);
CF_EXPORT void SetComponentInstanceStorage(ComponentInstance aComponentInstance, Handle theStorage);
CF_EXPORT OSErr GetComponentInstanceError(ComponentInstance aComponentInstance);
CF_EXPORT void SetComponentInstanceError(ComponentInstance aComponentInstance, OSErr theError);

/* Calls; they run the component's entry on the calling thread without locking.
   CallComponentDispatch sends `cp` to the instance in params[paramSize / 8]. */
CF_EXPORT ComponentResult CallComponentDispatch(ComponentParameters* cp);
CF_EXPORT ComponentResult CallComponentOpen(ComponentInstance ci, ComponentInstance self);
CF_EXPORT ComponentResult CallComponentClose(ComponentInstance ci, ComponentInstance self);
CF_EXPORT ComponentResult CallComponentCanDo(ComponentInstance ci, SInt16 ftnNumber);
CF_EXPORT ComponentResult CallComponentVersion(ComponentInstance ci);
CF_EXPORT ComponentResult DelegateComponentCall(ComponentParameters* originalParams, ComponentInstance ci);

CF_EXTERN_C_END

#endif /* CORESERVICES_COMPONENTS_H_ */
