#include "PlainFileHost.h"

#include "VecRasInfo.h"

TPlainFileHost::TPlainFileHost() = default;

TPlainFileHost::~TPlainFileHost() = default;

TVecRasPlacement& TPlainFileHost::NewPlacementPanel(TQV_01Cmp2D& Drawing)
{
    Panel.reset();
    Panel = std::make_unique<TVecRasPlacement>(Drawing);
    return *Panel;
}
