// libFuzzer target: a downloaded AMR voice clip converted to WAV for
// playback. What comes out is a WAV file of exactly the frames converted,
// whose header reads back; nothing may crash.
#include "foundation/voice/WavAmrFile.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string amr = fuzzsupport::scratchFile("in.amr");
    const std::string wav = fuzzsupport::scratchFile("out.wav");
    fuzzsupport::writeFile(amr, data, size);
    const std::size_t frames = foundation::amrToWavFile(amr.c_str(), wav.c_str());
    if (!frames)
        return 0;
    // Each frame took at least its header byte, after the 6-byte magic.
    if (frames > size - foundation::kAmrMagicBytes)
        std::abort();
    std::error_code ec;
    const auto wavSize = std::filesystem::file_size(wav, ec);
    if (ec || wavSize != foundation::kWavHeaderBytes + frames * foundation::kPcmFrameSamples * 2)
        std::abort();
    std::FILE* file = std::fopen(wav.c_str(), "rb");
    foundation::WavFormat format;
    std::uint32_t dataSize = 0;
    if (!file || !foundation::wavReadHeader(file, &dataSize, &format))
        std::abort();
    std::fclose(file);
    if (!foundation::wavFormatIsReadable(format, 1, 16) || dataSize != frames * foundation::kPcmFrameSamples * 2)
        std::abort();
    return 0;
}
