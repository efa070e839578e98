#pragma once
// The procedures a Component Manager host may call directly
// (kAudioUnitProperty_FastDispatch): their first argument is the instance storage,
// which is the AUClient.

#include <AudioToolbox/AudioToolbox.h>

namespace fw::au {

// Any thread.
AudioUnitRenderProc fastRenderProc() noexcept;
AudioUnitGetParameterProc fastGetParameterProc() noexcept;
AudioUnitSetParameterProc fastSetParameterProc() noexcept;

}  // namespace fw::au
