#include "text/ARIBStringDecoder.h"

CARIBStringDecoder::CARIBStringDecoder() { Reset(); }

void CARIBStringDecoder::Reset() {
    for (auto& g : m_G) g = nullptr;
    m_GL = 0;
    m_GR = 2;
    m_singleShift = 0;
    m_carry = 0;
}

char* CARIBStringDecoder::Decode(char* out, const uint8_t*, int, int reset) {
    if (reset) Reset();
    out[0] = '\0';
    return out;
}
