// CGDataProvider over caller memory, with its release callback.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/coregraphics/cgimpl.h"

#include <new>

extern "C" {

CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                               CGDataProviderReleaseDataCallback releaseData) {
    if (data == nullptr && size != 0) {
        sysfw::reportMisuse("CGDataProviderCreateWithData", "NULL data with a non-zero size");
        return nullptr;
    }
    auto* p = new (std::nothrow) CGDataProvider();
    if (p == nullptr) return nullptr;
    p->info = info;
    p->data = data;
    p->size = size;
    p->releaseData = releaseData;
    return p;
}

CGDataProviderRef CGDataProviderRetain(CGDataProviderRef provider) {
    if (provider) provider->refs.fetch_add(1, std::memory_order_relaxed);
    return provider;
}

void CGDataProviderRelease(CGDataProviderRef provider) {
    if (provider == nullptr || !coregraphics::dropReference(provider)) return;
    if (provider->releaseData) provider->releaseData(provider->info, provider->data, provider->size);
    delete provider;
}
}
