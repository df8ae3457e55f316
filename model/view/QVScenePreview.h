#pragma once
// A tool's preview shown in the view's highlight group. The entities live here, not in the
// drawing, until the preview is cleared or this object goes.
#include "QVPreview.h"

#include <memory>
#include <vector>

class TQVScene;
class TObject2D;

class TViewPreview : public TPreviewTarget {
public:
    // View must outlive this object.
    explicit TViewPreview(TQVScene& View);
    ~TViewPreview() override;
    TViewPreview(const TViewPreview&) = delete;
    TViewPreview& operator=(const TViewPreview&) = delete;

    // Builds the entity's display object in the highlight group and keeps the entity.
    void AddPreview(std::unique_ptr<TObject2D> Entity) override;
    // Empties the highlight group and frees the entities.
    void Clear();
    size_t Count() const { return Entities.size(); }

private:
    TQVScene& View;
    std::vector<std::unique_ptr<TObject2D>> Entities;
};
