#include "descriptors/DescriptorRanges.h"

std::unique_ptr<CDescriptor> CreateAribDescriptorD0(int, int, CByteReader&, CARIBStringDecoder&) {
    return nullptr;
}
