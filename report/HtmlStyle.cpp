// SPDX-License-Identifier: BSD-2-Clause
#include "report/HtmlStyle.h"

#include <cstdio>

namespace tsvigil {

// The verdict carries a pattern besides its colour, so that it reads in
// grey print and to those who do not tell the colours apart.
const char* const kHtmlStyle =
    "body{font-family:'Noto Sans CJK JP','Noto Sans JP',sans-serif;margin:1.5em;color:#111;background:#fff}"
    "h1{font-size:1.3em}h2{font-size:1.1em;margin-top:1.5em}"
    "#verdict{padding:.7em 1em;font-size:1.25em;font-weight:bold;border:3px solid #000;"
    "-webkit-print-color-adjust:exact;print-color-adjust:exact}"
    ".v-ok{background:#c8efc8;border-style:solid}"
    ".v-bad{background:repeating-linear-gradient(45deg,#f6b8b8 0 10px,#fde3e3 10px 20px);border-style:dashed}"
    ".v-none{background:repeating-linear-gradient(0deg,#ddd 0 4px,#f4f4f4 4px 8px);border-style:dotted}"
    "table{border-collapse:collapse;margin:.5em 0}td,th{border:1px solid #999;padding:2px 6px;text-align:left}"
    "td.n{text-align:right;font-variant-numeric:tabular-nums}"
    "dl{display:grid;grid-template-columns:max-content auto;gap:2px 1em}dt{font-weight:bold}dd{margin:0}"
    "svg{width:100%;height:auto;max-width:1200px;-webkit-print-color-adjust:exact;print-color-adjust:exact}"
    "svg text{font-size:12px}.axis line{stroke:#bbb}.band{fill:#dde6f5;stroke:#5a76a8}"
    ".band.recorded{fill:#b6cbef;stroke:#1d3f80;stroke-width:2}"
    ".damage{fill:#c00}.loss{fill:#e07b00}.scrambled{fill:#7a3db8}.tei{fill:#a05a00}.sync{fill:#222}.indicator{fill:#0a6e8a}"
    ".gap{fill:url(#hatch);stroke:#555}#hover{min-height:1.3em;font-family:monospace}"
    "@media print{#hover{display:none}}";

std::string HtmlPid(int pid) {
    char s[12];
    std::snprintf(s, sizeof s, "0x%04x", pid);
    return s;
}

}  // namespace tsvigil
