#pragma once
// The stock box: a translucent solid in the view's 3D group showing the raw material of
// machining, a contour in the XY plane extruded along Z. A display object, not a drawing
// object: an STL surface sizes it to its box, the machining fields set its margins, bottom and
// height. The view owns it (its 3D group); Grezzo is a weak link to the current one.
#include "QVTypes.h"
#include "SceneNodes.h"

class TListaDiCurve;
class TQVScene;

class TQVGrezzo : public TExtrusionNode {
public:
    // Translucent blue, both caps and the walls, no depth test; the all-zero box.
    TQVGrezzo();
    ~TQVGrezzo() override;

    // StockBox := B; the solid starts at B's lower Z and is as high as B; its contour is the XY
    // rectangle (First.X, First.Y), (Second.X, First.Y), (Second.X, Second.Y), (First.X, Second.Y).
    void SetBox(const TRect3D& B);
    void Refresh() { SetBox(StockBox); }
    // The rectangle widened by M on each side along X (or Y). A contour other than the
    // rectangle of four nodes is left as it is: the margins name its corners.
    void SetMarginX(double M) { Widen(true, M); }
    void SetMarginY(double M) { Widen(false, M); }
    // The solid starts at Z and reaches the top of StockBox.
    void SetZBottom(double Z);
    // The contour becomes the vertex points of the first chain, in order (an arc gives its end
    // point only). An empty list leaves it as it is.
    void SetFromChains(const TListaDiCurve& Chains);

    TRect3D StockBox{};

private:
    void Widen(bool AlongX, double M);
};

// The current stock box; null while there is none. Cleared when the view frees it.
extern TQVGrezzo* Grezzo;

// Makes the stock box in the view's 3D group, and has the view make a new one whenever it renews
// its 3D group (RebuildAll with RenewStock).
void InstallStockBox(TQVScene& View);
