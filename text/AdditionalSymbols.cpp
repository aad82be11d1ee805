#include "text/AdditionalSymbols.h"

const char* LabelAdditionalSymbols(const char* text) { return text; }
