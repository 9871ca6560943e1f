// Sound decoding on arbitrary bytes (as a WAV or an Ogg file): the decoder must refuse or
// decode, never crash, hang or allocate what a damaged header promises.
#include "FuzzSupport.h"

#include "audio/SoundEngine.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    hm::fuzz::quietLogging();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static hm::fuzz::ScratchFile file(".wav");
    if (auto sound = hm::decodeSoundFile(file.write(data, size), "fuzz")) {
        if (sound->samples.empty() || sound->sampleRate < hm::kMinSampleRate ||
            sound->sampleRate > hm::kMaxSampleRate ||
            sound->samples.size() > static_cast<std::size_t>(sound->sampleRate) * hm::kMaxSoundSeconds)
            __builtin_trap();
    }
    return 0;
}
