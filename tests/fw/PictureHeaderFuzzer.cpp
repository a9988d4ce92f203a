// Hostile bytes for the reader of picture headers: nothing may crash or read outside the bytes,
// and what it reads must be consistent with what it lets through to a decoder.
#include "fw/PictureHeader.h"

#include <cstdint>
#include <cstdlib>
#include <initializer_list>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const PictureHeader header = ReadPictureHeader(data, size);
    const bool sized = header.width != 0;
    if (sized != (header.height != 0) || (header.format == PictureFormat::Unknown && sized))
        std::abort(); // a size comes whole, and only with a format
    if (sized && header.framePixels < static_cast<uint64_t>(header.width) * header.height)
        std::abort(); // the frames cover at least the picture
    for (int side : {1, 60, 2000, 65535}) {
        if (MayDecodePicture(header, side)
            && (!sized || header.width > static_cast<unsigned>(side) || header.height > static_cast<unsigned>(side)
                || header.framePixels > static_cast<uint64_t>(side) * side))
            std::abort(); // let through what it should have refused
    }
    return 0;
}
