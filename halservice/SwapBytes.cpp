#include "halservice/SwapBytes.h"

#include <utility>

void SwapBytes16(void* bytes)
{
    auto* b = static_cast<unsigned char*>(bytes);
    std::swap(b[0], b[1]);
}

void SwapBytes32(void* bytes)
{
    auto* b = static_cast<unsigned char*>(bytes);
    std::swap(b[0], b[3]);
    std::swap(b[1], b[2]);
}
