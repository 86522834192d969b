#include "audiofiles/media/stream_readers.h"

#include <cstdlib>

namespace sorvak {

namespace {

constexpr int kDeliveryRate = 44100;

constexpr WAVEFORMATEX kDeliveryFormat {1, 2, kDeliveryRate, kDeliveryRate * 4, 4, 16, 0};

}

DeliveredBlock deliverBlock(ReaderSlot& slot, const void* data, uint32_t size, const WAVEFORMATEX& format, double speed)
{
    AudioBuffer source {const_cast<void*>(data), size, format.nBlockAlign};
    AudioBuffer converted {};
    ResampleAudioBuffer(&source, &converted, &format, &kDeliveryFormat, &slot.resamplerState, slot.previousSpeed,
                        speed, kDeliveryRate);
    slot.previousSpeed = speed;
    DeliveredBlock block;
    block.data = converted.data;
    block.length = converted.data ? static_cast<int32_t>(converted.size) : 0;
    return block;
}

}
