/* CoreGraphics basics shared by its headers. */
#ifndef COREGRAPHICS_CGBASE_H_
#define COREGRAPHICS_CGBASE_H_

#include <CoreFoundation/CFBase.h>
#include <CoreGraphics/CGGeometry.h>
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#define CG_EXPORT extern __attribute__((visibility("default")))

#ifdef __cplusplus
#define CG_EXTERN_C_BEGIN extern "C" {
#define CG_EXTERN_C_END }
#else
#define CG_EXTERN_C_BEGIN
#define CG_EXTERN_C_END
#endif

#endif /* COREGRAPHICS_CGBASE_H_ */
