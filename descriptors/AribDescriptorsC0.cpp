#include "descriptors/DescriptorRanges.h"

std::unique_ptr<CDescriptor> CreateAribDescriptorC0(int, int, CByteReader&, CARIBStringDecoder&) {
    return nullptr;
}
