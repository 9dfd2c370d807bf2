#pragma once

#include <QString>
#include <cstdint>

// Number and date texts.

// A count with thousands separators and no decimals ("#,##0"): 2100000000 -> "2,100,000,000".
QString xfunCountText(int64_t count);

// The clock's and the printed page's date: "dd-mmm-yyyy hh:nn", English month names.
QString xfunDateText();
