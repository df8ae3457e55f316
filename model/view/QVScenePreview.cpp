#include "QVScenePreview.h"

#include "QVObject2D.h"
#include "QVScene.h"

TViewPreview::TViewPreview(TQVScene& View_) : View(View_) {}

TViewPreview::~TViewPreview() { Clear(); }

void TViewPreview::AddPreview(std::unique_ptr<TObject2D> Entity)
{
    if (!Entity)
        return;
    Entity->UpdateBox();
    if (View.HighlightGroup)
        Entity->BuildGLIn(*View.HighlightGroup);
    Entities.push_back(std::move(Entity));
}

void TViewPreview::Clear()
{
    if (View.HighlightGroup)
        View.ClearGroup(*View.HighlightGroup);
    Entities.clear();
}
