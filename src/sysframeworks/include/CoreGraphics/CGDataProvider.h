/* Data providers over caller-owned memory: nothing is copied; the release
   callback (if any) runs when the provider's last reference goes, with the
   info pointer, the data and its size. Reference counted. Any thread. */
#ifndef COREGRAPHICS_CGDATAPROVIDER_H_
#define COREGRAPHICS_CGDATAPROVIDER_H_

#include <CoreGraphics/CGBase.h>

CG_EXTERN_C_BEGIN

typedef struct CGDataProvider* CGDataProviderRef;
typedef void (*CGDataProviderReleaseDataCallback)(void* info, const void* data, size_t size);

/* NULL (with a message) for NULL data with a non-zero size. */
CG_EXPORT CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                                         CGDataProviderReleaseDataCallback releaseData);
CG_EXPORT CGDataProviderRef CGDataProviderRetain(CGDataProviderRef provider);
CG_EXPORT void CGDataProviderRelease(CGDataProviderRef provider);

CG_EXTERN_C_END

#endif /* COREGRAPHICS_CGDATAPROVIDER_H_ */
