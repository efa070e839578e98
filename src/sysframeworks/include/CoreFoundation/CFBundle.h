/* CFBundle: a folder holding an executable and its resources.
   The main bundle is the folder of the running program. A bundle created from
   a folder with Contents/Info.plist takes its executable from CFBundleExecutable
   under Contents/MacOS/ (or Contents/Linux/ when that exists); a bundle created
   from the URL of a plain shared library treats that file as its executable. */
#ifndef COREFOUNDATION_CFBUNDLE_H_
#define COREFOUNDATION_CFBUNDLE_H_

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>

CF_EXTERN_C_BEGIN

typedef struct __CFBundle* CFBundleRef;
typedef struct __CFBundle* CFPlugInRef;

CF_EXPORT const CFStringRef kCFBundleInfoDictionaryVersionKey;
CF_EXPORT const CFStringRef kCFBundleExecutableKey;
CF_EXPORT const CFStringRef kCFBundleIdentifierKey;
CF_EXPORT const CFStringRef kCFBundleVersionKey;
CF_EXPORT const CFStringRef kCFBundleNameKey;

CF_EXPORT CFTypeID CFBundleGetTypeID(void);
CF_EXPORT CFBundleRef CFBundleGetMainBundle(void);
/* Bundles created or looked up here stay known to CFBundleGetBundleWithIdentifier
   while they are alive. */
CF_EXPORT CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID);
CF_EXPORT CFBundleRef CFBundleCreate(CFAllocatorRef allocator, CFURLRef bundleURL);
CF_EXPORT CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
CF_EXPORT CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle);
CF_EXPORT CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle);
CF_EXPORT CFStringRef CFBundleGetIdentifier(CFBundleRef bundle);
/* The Info.plist dictionary; an empty dictionary when the bundle has none. */
CF_EXPORT CFDictionaryRef CFBundleGetInfoDictionary(CFBundleRef bundle);
CF_EXPORT CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key);
CF_EXPORT Boolean CFBundleLoadExecutable(CFBundleRef bundle);
CF_EXPORT Boolean CFBundleIsExecutableLoaded(CFBundleRef bundle);
/* Releasing a bundle leaves its executable loaded (code it registered may still
   run); only this call unloads it. */
CF_EXPORT void CFBundleUnloadExecutable(CFBundleRef bundle);
/* Loads the executable when needed; NULL when it cannot be loaded or lacks the symbol. */
CF_EXPORT void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef functionName);
CF_EXPORT void* CFBundleGetDataPointerForName(CFBundleRef bundle, CFStringRef symbolName);

CF_EXTERN_C_END

#endif /* COREFOUNDATION_CFBUNDLE_H_ */
