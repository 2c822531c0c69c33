// libFuzzer target: a WAV file converted to AMR for upload (the recorder's
// files, but also any file a voice clip is made from). The first byte picks
// the channel count and sample width the call asks for; the rest is the file.
// A file is converted only when its header says that format; what is
// converted decodes back to as many frames; nothing may crash.
#include "foundation/voice/WavAmrFile.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const int channels = (data[0] & 1) ? 2 : 1;
    const int bits = (data[0] & 2) ? 8 : 16;
    const std::string wav = fuzzsupport::scratchFile("in.wav");
    const std::string amr = fuzzsupport::scratchFile("out.amr");
    const std::string back = fuzzsupport::scratchFile("back.wav");
    fuzzsupport::writeFile(wav, data + 1, size - 1);
    const std::size_t frames = foundation::wavToAmrFile(wav.c_str(), amr.c_str(), channels, bits);
    if (!frames)
        return 0;
    // Converted: the header said what was asked, and the samples were there.
    std::FILE* file = std::fopen(wav.c_str(), "rb");
    foundation::WavFormat format;
    std::uint32_t dataSize = 0;
    if (!file || !foundation::wavReadHeader(file, &dataSize, &format))
        std::abort();
    std::fclose(file);
    if (!foundation::wavFormatIsReadable(format, channels, bits))
        std::abort();
    if (frames * static_cast<std::size_t>(foundation::kPcmFrameSamples * channels * bits / 8) > size)
        std::abort();
    if (foundation::amrToWavFile(amr.c_str(), back.c_str()) != frames)
        std::abort();
    return 0;
}
