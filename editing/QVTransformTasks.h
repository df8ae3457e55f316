#pragma once
// The transform tasks: translate, rotate, scale and mirror a selection. A starter (the after-state
// of the command's selection task) turns the selection into a transform parameter, shows its page
// in the tool window and hands over to TQV_80TrasformaOggetti, which takes a base point and a
// second point from the snapped cursor (or values typed in the page), previews the objects
// through their model transforms, and applies the transform to them or to cumulative copies, with
// one undo record. Cancel or a stop leaves every object as it was.
//
// And the two-point distance: click, move (the property panel shows length and angle), click.
#include "QVCADPrg.h"
#include "QVMatrix.h"

#include <cstdint>
#include <memory>
#include <vector>

class TLine2D;
class TObject2D;
class TQV_01Cmp2D;
class TQV_50SelectObjectsParam;

// The pages' choices: copy the objects (else move them), and scale uniformly. Both start true.
extern bool CopyObjects;
extern bool UniformScale;

class TQV_80TransformObjectsParam;
// The running transform's parameter while one runs, else null; the repeat edits set its count.
extern TQV_80TransformObjectsParam* TransformTask;

// The most copies one transform makes of each object.
constexpr int32_t MaxRepeatCount = 1000;

class TQV_80TransformObjectsParam : public TQV_00CommonParam {
public:
    // Raises "TQV_80TOP: Invalid list" for an empty selection. Bakes each object's pending model
    // transform into its placement and allows the object snap.
    TQV_80TransformObjectsParam(TQV_50SelectObjectsParam& Selection, TCADStateClass AfterState, uint8_t Mode,
                                TQV_00CADProg& CADPrg);
    ~TQV_80TransformObjectsParam() override;

    // Matrix := the step from Base to P (P from the mouse; the page shows what it means).
    virtual void BuildMatrix(TMatrix4& M, const TPoint2D& Base, const TPoint2D& P) = 0;
    // RepeatCount from the mode's repeat edit: a text that is no count, or one below 1, counts
    // as 1; at most MaxRepeatCount.
    virtual void ReadRepeatCount();
    // The count from a repeat edit's text, by that rule.
    void SetRepeatCount(const std::string& Text);

    TPoint2D BasePoint{0, 0, 1};
    TPoint2D MovePoint{0, 0, 1};
    int32_t ClickCount = 0;
    TRect2D SelectionBox{};
    // Not owned.
    std::vector<TObject2D*> Objects;
    TMatrix4 Matrix;
    uint8_t Mode;
    std::unique_ptr<TLine2D> RubberLine;
    int32_t RepeatCount = 1;

protected:
    // The repeat edit of the mode (none for mirror).
    const char* RepeatEdit = nullptr;
};

class TQV_81TraslaObjectsParam : public TQV_80TransformObjectsParam {
public:
    TQV_81TraslaObjectsParam(TQV_50SelectObjectsParam& Selection, TQV_00CADProg& CADPrg);
    void BuildMatrix(TMatrix4& M, const TPoint2D& Base, const TPoint2D& P) override;
};

class TQV_82RuotaObjectsParam : public TQV_80TransformObjectsParam {
public:
    TQV_82RuotaObjectsParam(TQV_50SelectObjectsParam& Selection, TQV_00CADProg& CADPrg);
    // The rotation about Base by the direction of P; the page shows the angle in degrees.
    void BuildMatrix(TMatrix4& M, const TPoint2D& Base, const TPoint2D& P) override;
};

class TQV_84ScalaObjectsParam : public TQV_80TransformObjectsParam {
public:
    TQV_84ScalaObjectsParam(TQV_50SelectObjectsParam& Selection, TQV_00CADProg& CADPrg);
    // Uniform: the world distance of P from Base / 10; else the pixel offsets / 25 sqrt 2 in x
    // and y. The page shows the factors.
    void BuildMatrix(TMatrix4& M, const TPoint2D& Base, const TPoint2D& P) override;
};

class TQV_83SpecchiaObjectsParam : public TQV_80TransformObjectsParam {
public:
    TQV_83SpecchiaObjectsParam(TQV_50SelectObjectsParam& Selection, TQV_00CADProg& CADPrg);
    // The reflection in the line through Base and P.
    void BuildMatrix(TMatrix4& M, const TPoint2D& Base, const TPoint2D& P) override;
    void ReadRepeatCount() override {}
};

// The starters: one-shot states after the selection. An empty selection ends the operation.
class TQV_81TraslaSelectedObjects : public TQV_00State {
public:
    TQV_81TraslaSelectedObjects(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                TCADStateClass& NextState);
};
class TQV_82RuotaSelectedObjects : public TQV_00State {
public:
    TQV_82RuotaSelectedObjects(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                               TCADStateClass& NextState);
};
class TQV_84ScalaSelectedObjects : public TQV_00State {
public:
    TQV_84ScalaSelectedObjects(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                               TCADStateClass& NextState);
};
class TQV_83SpecchiaSelectedObjects : public TQV_00State {
public:
    TQV_83SpecchiaSelectedObjects(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                  TCADStateClass& NextState);
};

// The transform itself: base point, preview, apply.
class TQV_80TrasformaOggetti : public TQV_00State {
public:
    TQV_80TrasformaOggetti(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;
    // The objects as they were, the overlay cleared, the parameter freed.
    void OnStop() override;

private:
    TQV_80TransformObjectsParam& P() const { return *static_cast<TQV_80TransformObjectsParam*>(Param); }
    // With the orthogonal mode on, P keeps its larger offset from the base point.
    void UpdateMatrix(TPoint2D Pt);
    void ShowPreview();
    // Every object back to its placement, no preview.
    void TakePreviewBack();
    // The objects transformed, or their copies made, with one undo record.
    void ApplyToObjects();
    // The task is done: to the parameter's AfterState, or the end.
    bool Done(TCADStateClass& NextState);
};

// Applies the parameter's Matrix to its objects as the task's Done does (copies with CopyObjects,
// a non-uniform scale replacing them, else in place), with one undo record.
void ApplyTransformToObjects(TQV_80TransformObjectsParam& P, TQV_01Cmp2D& Drawing);

// The two-point distance.
class TQV_70Sel2PuntiParam : public TQV_00CommonParam {
public:
    explicit TQV_70Sel2PuntiParam(TCADStateClass AfterState);
    ~TQV_70Sel2PuntiParam() override;
    TPoint2D FirstPoint{0, 0, 1};
    TPoint2D SecondPoint{0, 0, 1};
    std::unique_ptr<TLine2D> RubberLine;
    bool FirstPicked = false;
};

class TQV_70Sel2Punti : public TQV_00State {
public:
    TQV_70Sel2Punti(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;
    void OnStop() override;

private:
    TQV_70Sel2PuntiParam& P() const { return *static_cast<TQV_70Sel2PuntiParam*>(Param); }
    void HideRubberLine();
};
