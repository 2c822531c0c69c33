#include "foundation/voice/VoiceFileConverter.h"

#include "foundation/voice/WavAmrFile.h"

namespace foundation {

bool VoiceFileConverter::amrToWav(const std::string& amrPath, const std::string& wavSavePath)
{
    return amrToWavFile(amrPath.c_str(), wavSavePath.c_str()) != 0;
}

int VoiceFileConverter::wavToAmr(const std::string& wavPath, const std::string& amrSavePath, int channels, int depth)
{
    return wavToAmrFile(wavPath.c_str(), amrSavePath.c_str(), channels, depth) > 0 ? 0 : 1;
}

} // namespace foundation
