#pragma once

// Replaces each ARIB additional symbol that JISToSJIS() mapped into the
// Shift_JIS user-defined area with a short readable label ("[HV]", "[字]",
// "ほか", ...). Returns a pointer into a buffer owned by the function that
// stays valid until the next call.
const char* LabelAdditionalSymbols(const char* text);
