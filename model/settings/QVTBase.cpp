#include "QVTBase.h"

void TDecorativePen::SetPatternBit(uint16_t Index, bool Value)
{
    if (Index >= Pattern.size())
        Pattern.resize(static_cast<size_t>(Index) + 1, false);
    Pattern[Index] = Value;
}

bool TDecorativePen::GetPatternBit(uint16_t Index) const { return Index < Pattern.size() && Pattern[Index]; }
