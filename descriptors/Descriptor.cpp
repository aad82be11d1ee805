#include "descriptors/Descriptor.h"

#include "descriptors/DescriptorRanges.h"
#include "text/ARIBStringDecoder.h"

std::unique_ptr<CDescriptor> CreateDescriptor(const uint8_t* p, const uint8_t* sectionEnd,
                                              CARIBStringDecoder& dec) {
    if (p == nullptr || sectionEnd <= p) return nullptr;
    CByteReader r(p, static_cast<size_t>(sectionEnd - p));
    const int tag = r.U8();
    std::unique_ptr<CDescriptor> out;
    switch (tag) {
        case 0x09: case 0x40: case 0x41: case 0x42: case 0x43: case 0x47: case 0x48:
        case 0x4A: case 0x4D: case 0x4E: case 0x4F: case 0x50: case 0x52: case 0x53:
        case 0x54: case 0x55: {
            const int length = r.U8();
            out = CreateStandardDescriptor(tag, length, r, dec);
            break;
        }
        case 0xC0: case 0xC1: case 0xC4: case 0xC5: case 0xC7: case 0xC8: case 0xC9:
        case 0xCB: case 0xCC: case 0xCD: case 0xCE: case 0xCF: {
            const int length = r.U8();
            out = CreateAribDescriptorC0(tag, length, r, dec);
            break;
        }
        case 0xD5: case 0xD6: case 0xD7: case 0xD8: case 0xD9: case 0xDC: case 0xDE: {
            const int length = r.U8();
            out = CreateAribDescriptorD0(tag, length, r, dec);
            break;
        }
        case 0xFA: case 0xFB: case 0xFC: case 0xFD: case 0xFE: {
            const int length = r.U8();
            out = CreateAribDescriptorE0(tag, length, r, dec);
            break;
        }
        default:
            return nullptr;
    }
    if (out) {
        out->descriptor_tag = tag;
        out->descriptor_length = p + 1 < sectionEnd ? p[1] : 0;
    }
    return out;
}

void ParseDescriptorLoop(CDescriptorList& list, const uint8_t* begin, const uint8_t* loopEnd,
                         const uint8_t* sectionEnd, CARIBStringDecoder& dec) {
    if (begin >= sectionEnd || begin >= loopEnd) return;
    // Offsets from begin, so a descriptor_length that points past the
    // section never forms a pointer outside it.
    const ptrdiff_t end = (loopEnd < sectionEnd ? loopEnd : sectionEnd) - begin;
    const ptrdiff_t limit = sectionEnd - begin;
    ptrdiff_t i = 0;
    while (i < end && limit - i >= 2) {
        if (auto d = CreateDescriptor(begin + i, sectionEnd, dec)) list.push_back(std::move(d));
        i += 2 + begin[i + 1];
    }
}

void ParseWholeDescriptors(CDescriptorList& list, CByteReader loop, CARIBStringDecoder& dec) {
    while (loop.Remaining() >= 2) {
        const int length = loop.PeekAt(1);
        if (static_cast<size_t>(2 + length) > loop.Remaining()) return;
        const CByteReader::Span d = loop.Bytes(2 + length);
        if (auto out = CreateDescriptor(d.data, d.data + d.size, dec)) list.push_back(std::move(out));
    }
}

void ClearDescriptorList(CDescriptorList& list) { list.clear(); }

int FindDescriptor(const CDescriptorList& list, int tag, int start) {
    if (start < 0) start = 0;
    for (size_t i = static_cast<size_t>(start); i < list.size(); ++i) {
        if (list[i]->descriptor_tag == tag) return static_cast<int>(i);
    }
    return -1;
}

std::string DecodeText(CARIBStringDecoder& dec, CByteReader::Span s, bool reset) {
    // Room for the output of a whole work buffer (two bytes per input byte).
    char out[2 * CARIBStringDecoder::kWorkSize + 1];
    return dec.Decode(out, s.data, s.size, reset ? 1 : 0);
}
