#pragma once

#include <QString>
#include <cstdint>

// A count with thousands separators and no decimals ("#,##0"): 2100000000 -> "2,100,000,000".
QString xfunCountText(int64_t count);
