// The DDS reader on arbitrary bytes: it must refuse or read, never crash or over-allocate.
#include "FuzzSupport.h"

#include "render/DdsReader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    hm::fuzz::quietLogging();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static hm::fuzz::ScratchFile file(".dds");
    if (auto image = hm::readDdsFile(file.write(data, size))) {
        // What the reader hands on must be what the upload will read.
        const std::size_t blocks = ((image->width + 3) / 4) * std::size_t((image->height + 3) / 4);
        const std::size_t blockSize = image->format == hm::TextureFormat::Dxt1 ? 8 : 16;
        if (image->data.size() < blocks * blockSize)
            __builtin_trap();
    }
    return 0;
}
