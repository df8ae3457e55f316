#pragma once
// Where a tool's preview goes. The view shows what it receives in its highlight group; the
// drawing itself never sees a preview entity. Held without ownership by the tool that previews.
#include <memory>

class TObject2D;

class TPreviewTarget {
public:
    virtual ~TPreviewTarget() = default;
    // Takes an entity made only to be shown. It carries its own colour and width
    // (UseLayerStyle false), so showing it changes no layer.
    virtual void AddPreview(std::unique_ptr<TObject2D> Entity) = 0;
};
