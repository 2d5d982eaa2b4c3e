// Decimal reading of setting texts.
#include "engine/decimal_text.h"

#include <climits>

int AtoiSaturating(std::string_view text) {
    std::size_t i = 0;
    // The C locale's isspace set.
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool bNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        bNegative = text[i] == '-';
        ++i;
    }
    // Accumulate toward the negative side, which holds one more value than the positive side.
    long long nValue = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        nValue = nValue * 10 - (text[i] - '0');
        if (nValue < static_cast<long long>(INT_MIN)) {
            return bNegative ? INT_MIN : INT_MAX;
        }
    }
    if (bNegative) return static_cast<int>(nValue);
    return nValue < -static_cast<long long>(INT_MAX) ? INT_MAX : static_cast<int>(-nValue);
}
