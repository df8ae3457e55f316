#include "SceneNodes.h"

#include "Bitmap32.h"
#include "CADExceptions.h"

#include <algorithm>

TSceneColor SceneColorFromTColor(uint32_t Color, float Alpha)
{
    return {float(Color & 0xFF) / 255.0f, float((Color >> 8) & 0xFF) / 255.0f,
            float((Color >> 16) & 0xFF) / 255.0f, Alpha};
}

TSceneNode::~TSceneNode()
{
    if (Self)
        *Self = nullptr;
}

TSceneNodeHandle TSceneNode::Handle()
{
    if (!Self)
        Self = std::make_shared<TSceneNode*>(this);
    return TSceneNodeHandle(Self);
}

TScene* TSceneNode::Scene() const
{
    const TSceneNode* n = this;
    while (n->Parent_)
        n = n->Parent_;
    return n->Kind_ == TSceneNodeKind::Group ? static_cast<const TSceneGroup*>(n)->OwnerScene : nullptr;
}

bool TSceneNode::InBuffers() const
{
    switch (Kind_) {
    case TSceneNodeKind::LineStrip:
    case TSceneNodeKind::PointCloud:
    case TSceneNodeKind::Polygon:
    case TSceneNodeKind::TexturedPlane:
    case TSceneNodeKind::Box:
    case TSceneNodeKind::Extrusion:
    case TSceneNodeKind::Mesh:
        return true;
    default:
        return false;
    }
}

void TSceneNode::Changed()
{
    // Groups, cameras, lights, callbacks and texts are not in their group's buffers: moving the
    // camera rig for a pan must not cost a rebuild.
    if (Parent_ && InBuffers())
        Parent_->SetDirty();
    if (TScene* s = Scene())
        s->NotifyChange();
}

void TSceneNode::SetVisible(bool V)
{
    if (V == Visible_)
        return;
    Visible_ = V;
    Changed();
}

void TSceneNode::SetMatrix(const TMatrix4& M)
{
    Matrix_.Assign(&M);
    Changed();
}

void TSceneNode::SetPosition(double X, double Y, double Z)
{
    Matrix_.SetTranslation(X, Y, Z);
    Changed();
}

TMatrix4 TSceneNode::AbsoluteMatrix() const
{
    TMatrix4 m = Matrix_;
    for (const TSceneGroup* p = Parent_; p; p = p->Parent_)
        m.Multiply(m, p->Matrix_);
    return m;
}

// ---- groups

TSceneNode* TSceneGroup::Adopt(std::unique_ptr<TSceneNode> Child)
{
    RASTREL_ASSERT(Child && !Child->Parent_);
    Child->Parent_ = this;
    Children.push_back(std::move(Child));
    SetDirty();
    Changed();
    return Children.back().get();
}

std::unique_ptr<TSceneNode> TSceneGroup::Release(TSceneNode* Child)
{
    const int i = IndexOf(Child);
    if (i < 0)
        return nullptr;
    std::unique_ptr<TSceneNode> out = std::move(Children[size_t(i)]);
    Children.erase(Children.begin() + i);
    SetDirty();
    Changed();
    out->Parent_ = nullptr;
    return out;
}

void TSceneGroup::DeleteChildren()
{
    if (Children.empty())
        return;
    // Children may hold links into siblings (a camera's target), so clear before freeing.
    std::vector<std::unique_ptr<TSceneNode>> old;
    old.swap(Children);
    SetDirty();
    Changed();
}

int TSceneGroup::IndexOf(const TSceneNode* Child) const
{
    for (size_t i = 0; i < Children.size(); ++i)
        if (Children[i].get() == Child)
            return int(i);
    return -1;
}

// ---- leaves

namespace {
TVector3f F3(double X, double Y, double Z)
{
    return {float(X), float(Y), float(Z)};
}

template <class T> void SetIndexed(std::vector<T>& V, int I, const T& Value)
{
    if (I < 0 || size_t(I) >= V.size())
        throw ECADOutOfBound("Scene node index out of range: " + std::to_string(I));
    V[size_t(I)] = Value;
}
} // namespace

void TLineStrip::AddNode(double X, double Y, double Z)
{
    Nodes_.push_back(F3(X, Y, Z));
    Changed();
}

void TLineStrip::AddNodes(const std::vector<TVector3f>& More)
{
    Nodes_.insert(Nodes_.end(), More.begin(), More.end());
    Changed();
}

void TLineStrip::SetNode(int I, double X, double Y, double Z)
{
    SetIndexed(Nodes_, I, F3(X, Y, Z));
    Changed();
}

void TLineStrip::ClearNodes()
{
    Nodes_.clear();
    Changed();
}

void TLineStrip::SetColor(const TSceneColor& C)
{
    Color_ = C;
    Changed();
}

void TLineStrip::SetLineWidth(float W)
{
    LineWidth_ = W;
    Changed();
}

void TLineStrip::SetNodesShown(bool S)
{
    NodesShown_ = S;
    Changed();
}

void TLineStrip::SetNodeSize(float S)
{
    NodeSize_ = S;
    Changed();
}

void TPointCloud::AddPoint(double X, double Y, double Z)
{
    Points_.push_back(F3(X, Y, Z));
    Changed();
}

void TPointCloud::SetPoint(int I, double X, double Y, double Z)
{
    SetIndexed(Points_, I, F3(X, Y, Z));
    Changed();
}

void TPointCloud::SetColor(const TSceneColor& C)
{
    Color_ = C;
    Changed();
}

void TPointCloud::SetPointSize(float S)
{
    PointSize_ = S;
    Changed();
}

void TPointCloud::SetSmooth(bool S)
{
    Smooth_ = S;
    Changed();
}

void TPolygonNode::AddNode(double X, double Y, double Z)
{
    Nodes_.push_back(F3(X, Y, Z));
    Changed();
}

void TPolygonNode::SetNode(int I, double X, double Y, double Z)
{
    SetIndexed(Nodes_, I, F3(X, Y, Z));
    Changed();
}

void TPolygonNode::ClearNodes()
{
    Nodes_.clear();
    Changed();
}

void TPolygonNode::SetColor(const TSceneColor& C)
{
    Color_ = C;
    Changed();
}

void TPolygonNode::SetBlended(bool B)
{
    Blended_ = B;
    Changed();
}

void TTexturedPlane::SetRect(double CentreX, double CentreY, double CentreZ, double W, double H)
{
    Centre_ = {CentreX, CentreY, CentreZ};
    Width_ = W;
    Height_ = H;
    Changed();
}

void TTexturedPlane::SetTexture(std::shared_ptr<const TBitmap32> Image)
{
    Texture_ = std::move(Image);
    TextureChanged();
}

void TTexturedPlane::TextureChanged()
{
    // Unique across planes, so that a renderer never mistakes a new plane for an old one.
    static uint64_t counter = 0;
    TextureRevision_ = ++counter;
    // The buffers stay; only the texture is uploaded again.
    if (TScene* s = Scene())
        s->NotifyChange();
}

void TTexturedPlane::SetColor(const TSceneColor& C)
{
    Color_ = C;
    Changed();
}

void TSolidNode::SetColor(const TSceneColor& C)
{
    Color_ = C;
    Changed();
}

void TSolidNode::SetBlended(bool B)
{
    Blended_ = B;
    Changed();
}

void TSolidNode::SetDepthTest(bool D)
{
    DepthTest_ = D;
    Changed();
}

void TBoxNode::SetSize(double X, double Y, double Z)
{
    Size_ = {X, Y, Z};
    Changed();
}

void TExtrusionNode::SetContour(std::vector<TVector2D> Nodes)
{
    Contour_ = std::move(Nodes);
    Changed();
}

void TExtrusionNode::SetHeight(double H)
{
    Height_ = H;
    Changed();
}

void TMesh::SetTriangles(std::vector<TMeshTriangle> T)
{
    Triangles_ = std::move(T);
    Changed();
}

void TMesh::AddTriangle(const TMeshTriangle& T)
{
    Triangles_.push_back(T);
    Changed();
}

bool TMesh::Extents(TVector3D& Min, TVector3D& Max) const
{
    if (Triangles_.empty())
        return false;
    const TVector3f& f = Triangles_[0].V[0];
    Min = Max = {f.X, f.Y, f.Z};
    for (const auto& t : Triangles_)
        for (const auto& v : t.V) {
            Min = {std::min<double>(Min.X, v.X), std::min<double>(Min.Y, v.Y), std::min<double>(Min.Z, v.Z)};
            Max = {std::max<double>(Max.X, v.X), std::max<double>(Max.Y, v.Y), std::max<double>(Max.Z, v.Z)};
        }
    return true;
}

void THudText::SetText(const std::string& T)
{
    if (T == Text_)
        return;
    Text_ = T;
    Changed();
}

void THudText::SetPlace(int X, int Y)
{
    X_ = X;
    Y_ = Y;
    Changed();
}

void THudText::SetColor(const TSceneColor& C)
{
    Color_ = C;
    Changed();
}

// ---- scene

TScene::TScene() : Root_(std::make_unique<TSceneGroup>())
{
    Root_->OwnerScene = this;
    Root_->Name = "Root";
}

TScene::~TScene() = default;

void TScene::SetBackgroundColor(const TSceneColor& C)
{
    Background_ = C;
    NotifyChange();
}

void TScene::SetDepthTest(bool D)
{
    DepthTest_ = D;
    NotifyChange();
}
