/* Basic scalar types shared by every system framework (LP64 widths). */
#ifndef MACTYPES_H_
#define MACTYPES_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned char UInt8;
typedef signed char SInt8;
typedef unsigned short UInt16;
typedef signed short SInt16;
typedef unsigned int UInt32;
typedef signed int SInt32;
typedef unsigned long long UInt64;
typedef signed long long SInt64;
typedef float Float32;
typedef double Float64;

typedef UInt8 Byte;
typedef SInt8 SignedByte;
typedef unsigned char Boolean; /* not C bool: one byte, 0 or 1 */

typedef SInt16 OSErr;
typedef SInt32 OSStatus;
typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef FourCharCode ResType;
typedef UInt32 OptionBits;
typedef unsigned long ByteCount;
typedef unsigned long ItemCount;
typedef long Size;
typedef char* Ptr;
typedef Ptr* Handle;
typedef UInt16 UniChar;
typedef unsigned char Str255[256];
typedef const unsigned char* ConstStr255Param;
typedef unsigned char* StringPtr;

enum { noErr = 0 };

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#ifdef __cplusplus
}
#endif

#endif /* MACTYPES_H_ */
