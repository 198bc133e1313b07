// Any bytes handed to ReadPackedData: refused without a trace, or rebuilt into a sound memory.
#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (FuzzTooLarge(data, size))
        return 0;
    CvAssociativeMemory memory;
    memory.Create(100, 100, 0);
    const CvAMBase* root = memory.root;
    const std::vector<unsigned char> before = FuzzPack(memory);
    if (!memory.ReadPackedData(data, size)) {
        FuzzCheck(memory.root == root && FuzzPack(memory) == before, "a refused record changes nothing");
        return 0;
    }
    FuzzExercise(memory);
    return 0;
}
