#include "framework/graphics/imageresizer.h"

namespace fw {

Status ImageResizer::resizeImageSRGB(ImageRef<const RGBA> input, ImageRef<RGBA> output, int alphaChannel,
                                     ResizeFilter filter, int flags) {
    ResampleRequest request;
    request.input = reinterpret_cast<const std::uint8_t*>(input.pixels);
    request.inputWidth = input.w;
    request.inputHeight = input.h;
    request.inputStride = input.pitch;
    request.output = reinterpret_cast<std::uint8_t*>(output.pixels);
    request.outputWidth = output.w;
    request.outputHeight = output.h;
    request.outputStride = output.pitch;
    request.channels = 4;
    request.alphaChannel = alphaChannel;
    request.flags = flags;
    request.filter = filter;

    const std::size_t needed = resampleScratchSize(request);
    if (needed == 0) return resampleUint8(request, nullptr, 0);  // reports what is wrong
    scratch_.reserve(needed);
    return resampleUint8(request, scratch_.data(), scratch_.capacity());
}

}  // namespace fw
