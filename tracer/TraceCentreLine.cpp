#include "TraceCentreLine.h"

void TraceCentreLines(const TMonoBitmap&, const std::function<void(const std::vector<TVector2D>&, bool)>&,
                      const std::function<void(double)>&)
{
}
