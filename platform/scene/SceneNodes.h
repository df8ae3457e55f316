#pragma once
// The scene layer's node tree: a scene root holding named groups in drawing order, and the
// objects the view and the entities put into them. Plain C++ without Qt or GL, so the display
// of every entity can be built and checked without a display; the renderer (scene/gl) and the
// recording viewer read the same tree.
//
// Ownership: a group owns its children; a TScene owns its root. Every change of a node marks
// its group dirty, so the renderer rebuilds that group's vertex buffers once before its next
// draw and leaves the other groups alone.
#include "QVMatrix.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TBitmap32;
class TCanvas2D;
class TMesh;
class TScene;
class TSceneGroup;

struct TSceneColor {
    float R = 1, G = 1, B = 1, A = 1;
    bool operator==(const TSceneColor&) const = default;
};

// A Windows colour 0x00BBGGRR with the given alpha.
TSceneColor SceneColorFromTColor(uint32_t Color, float Alpha = 1);

enum class TSceneNodeKind {
    Group,
    LineStrip,
    PointCloud,
    Polygon,
    TexturedPlane,
    Box,
    Extrusion,
    Mesh,
    RenderCallback,
    HudText,
    Light,
    Camera
};

class TSceneNode;

// A weak link to a scene node: Get() answers nullptr once the node is gone. Entities keep their
// display objects through it, because the view frees those whenever it empties a group.
class TSceneNodeHandle {
public:
    TSceneNodeHandle() = default;
    TSceneNode* Get() const { return Slot ? *Slot : nullptr; }
    explicit operator bool() const { return Get() != nullptr; }
    void Reset() { Slot.reset(); }

private:
    friend class TSceneNode;
    explicit TSceneNodeHandle(std::shared_ptr<TSceneNode*> S) : Slot(std::move(S)) {}
    std::shared_ptr<TSceneNode*> Slot;
};

class TSceneNode {
public:
    explicit TSceneNode(TSceneNodeKind Kind) : Kind_(Kind) {}
    virtual ~TSceneNode();
    TSceneNode(const TSceneNode&) = delete;
    TSceneNode& operator=(const TSceneNode&) = delete;

    TSceneNodeKind Kind() const { return Kind_; }
    TSceneGroup* Parent() const { return Parent_; }
    TScene* Scene() const;

    std::string Name;

    bool Visible() const { return Visible_; }
    void SetVisible(bool V);

    // The node's place relative to its parent (row vectors, translation in the fourth row).
    // Leaves are baked into their group's buffers with it; a group's own matrix is applied
    // when it is drawn, so moving a group rebuilds nothing.
    const TMatrix4& Matrix() const { return Matrix_; }
    void SetMatrix(const TMatrix4& M);
    TVector3D Position() const { return {Matrix_.M[12], Matrix_.M[13], Matrix_.M[14]}; }
    void SetPosition(double X, double Y, double Z);
    // The product of the matrices from the scene root down to this node.
    TMatrix4 AbsoluteMatrix() const;

    // A weak link to this node (made on first use).
    TSceneNodeHandle Handle();

    // Marks the group that holds this node for a rebuild and asks the viewers for a repaint.
    void Changed();
    // True for the kinds whose vertices go into their group's buffers.
    bool InBuffers() const;

private:
    friend class TSceneGroup;
    TSceneNodeKind Kind_;
    TSceneGroup* Parent_ = nullptr;
    std::shared_ptr<TSceneNode*> Self; // what handles read; cleared when the node dies
    bool Visible_ = true;
    TMatrix4 Matrix_;
};

class TSceneGroup : public TSceneNode {
public:
    TSceneGroup() : TSceneNode(TSceneNodeKind::Group) {}

    template <class T, class... Args> T* Add(Args&&... args)
    {
        return static_cast<T*>(Adopt(std::make_unique<T>(std::forward<Args>(args)...)));
    }
    TSceneNode* Adopt(std::unique_ptr<TSceneNode> Child);
    // Hands the child back to the caller; nullptr when it is not a child of this group.
    std::unique_ptr<TSceneNode> Release(TSceneNode* Child);
    void Delete(TSceneNode* Child) { Release(Child); }
    void DeleteChildren();

    int Count() const { return int(Children.size()); }
    TSceneNode* Child(int I) const { return Children.at(size_t(I)).get(); }
    int IndexOf(const TSceneNode* Child) const;

    // Set by every change of a child; the renderer clears it after rebuilding the buffers.
    bool Dirty() const { return Dirty_; }
    void SetDirty() { Dirty_ = true; }
    void ClearDirty() { Dirty_ = false; }
    // Counts the rebuilds the renderer made of this group, for tests and benchmarks.
    int RebuildCount = 0;

private:
    friend class TScene;
    friend class TSceneNode;
    std::vector<std::unique_ptr<TSceneNode>> Children;
    bool Dirty_ = true;
    TScene* OwnerScene = nullptr; // set on the root only
};

// Nodes joined in order. The node markers (small squares at each node, for editing) are not
// drawn unless NodesShown.
class TLineStrip : public TSceneNode {
public:
    TLineStrip() : TSceneNode(TSceneNodeKind::LineStrip) {}

    const std::vector<TVector3f>& Nodes() const { return Nodes_; }
    int NodeCount() const { return int(Nodes_.size()); }
    void AddNode(double X, double Y, double Z);
    void AddNodes(const std::vector<TVector3f>& More);
    void SetNode(int I, double X, double Y, double Z);
    void ClearNodes();
    void Reserve(size_t N) { Nodes_.reserve(N); }

    TSceneColor Color() const { return Color_; }
    void SetColor(const TSceneColor& C);
    float LineWidth() const { return LineWidth_; }
    void SetLineWidth(float W);
    bool NodesShown() const { return NodesShown_; }
    void SetNodesShown(bool S);
    float NodeSize() const { return NodeSize_; } // pixels
    void SetNodeSize(float S);

private:
    std::vector<TVector3f> Nodes_;
    TSceneColor Color_;
    float LineWidth_ = 1;
    bool NodesShown_ = false;
    float NodeSize_ = 5;
};

class TPointCloud : public TSceneNode {
public:
    TPointCloud() : TSceneNode(TSceneNodeKind::PointCloud) {}

    const std::vector<TVector3f>& Points() const { return Points_; }
    void AddPoint(double X, double Y, double Z);
    void SetPoint(int I, double X, double Y, double Z);

    TSceneColor Color() const { return Color_; }
    void SetColor(const TSceneColor& C);
    float PointSize() const { return PointSize_; } // pixels
    void SetPointSize(float S);
    // Round points instead of squares.
    bool Smooth() const { return Smooth_; }
    void SetSmooth(bool S);

private:
    std::vector<TVector3f> Points_;
    TSceneColor Color_;
    float PointSize_ = 1;
    bool Smooth_ = false;
};

// A filled polygon in its own plane (Z taken from the nodes); the scene closes it. Concave
// outlines are filled correctly; a self-crossing one is filled without holes.
class TPolygonNode : public TSceneNode {
public:
    TPolygonNode() : TSceneNode(TSceneNodeKind::Polygon) {}

    const std::vector<TVector3f>& Nodes() const { return Nodes_; }
    void AddNode(double X, double Y, double Z);
    void SetNode(int I, double X, double Y, double Z);
    void ClearNodes();

    TSceneColor Color() const { return Color_; }
    void SetColor(const TSceneColor& C);
    // Blended: the colour's alpha mixes the polygon with what lies behind it; otherwise opaque.
    bool Blended() const { return Blended_; }
    void SetBlended(bool B);

private:
    std::vector<TVector3f> Nodes_;
    TSceneColor Color_;
    bool Blended_ = false;
};

// A rectangle in the plane Z = Centre.Z showing a picture. Width and Height may be negative,
// which mirrors the picture. The picture's RGB shows with the opacity of Color's alpha (the
// bitmap's own alpha byte is ignored). Drawn without depth test and without writing depth.
class TTexturedPlane : public TSceneNode {
public:
    TTexturedPlane() : TSceneNode(TSceneNodeKind::TexturedPlane) {}

    void SetRect(double CentreX, double CentreY, double CentreZ, double Width, double Height);
    TVector3D Centre() const { return Centre_; }
    double Width() const { return Width_; }
    double Height() const { return Height_; }

    // The plane shares the pixels; call TextureChanged after changing them so that the next
    // frame shows them.
    void SetTexture(std::shared_ptr<const TBitmap32> Image);
    const std::shared_ptr<const TBitmap32>& Texture() const { return Texture_; }
    void TextureChanged();
    // Counts SetTexture and TextureChanged calls: the renderer uploads when it moves on.
    uint64_t TextureRevision() const { return TextureRevision_; }

    TSceneColor Color() const { return Color_; }
    void SetColor(const TSceneColor& C);

private:
    TVector3D Centre_;
    double Width_ = 1, Height_ = 1;
    std::shared_ptr<const TBitmap32> Texture_;
    uint64_t TextureRevision_ = 0;
    TSceneColor Color_;
};

// What solids have in common: a lit colour, blending, both faces, and an own depth-test switch.
class TSolidNode : public TSceneNode {
public:
    using TSceneNode::TSceneNode;

    TSceneColor Color() const { return Color_; }
    void SetColor(const TSceneColor& C);
    bool Blended() const { return Blended_; }
    void SetBlended(bool B);
    // False: drawn over everything before it whatever the scene's depth test says.
    bool DepthTest() const { return DepthTest_; }
    void SetDepthTest(bool D);

private:
    TSceneColor Color_;
    bool Blended_ = false;
    bool DepthTest_ = true;
};

// An axis-parallel box centred on the node's position.
class TBoxNode : public TSolidNode {
public:
    TBoxNode() : TSolidNode(TSceneNodeKind::Box) {}
    void SetSize(double X, double Y, double Z);
    TVector3D Size() const { return Size_; }

private:
    TVector3D Size_{1, 1, 1};
};

// A closed contour in the XY plane extruded along Z by Height from the node's Z position.
class TExtrusionNode : public TSolidNode {
public:
    TExtrusionNode() : TSolidNode(TSceneNodeKind::Extrusion) {}

    const std::vector<TVector2D>& Contour() const { return Contour_; }
    void SetContour(std::vector<TVector2D> Nodes);
    double Height() const { return Height_; }
    void SetHeight(double H);
    // The parts drawn: the side walls, the bottom (start) and top (end) caps.
    bool ShowSides = true, ShowStart = true, ShowEnd = true;

private:
    std::vector<TVector2D> Contour_;
    double Height_ = 1;
};

struct TMeshTriangle {
    TVector3f Normal, V[3];
};

// A triangle mesh (an STL surface): lit, both faces unless culled.
class TMesh : public TSolidNode {
public:
    TMesh() : TSolidNode(TSceneNodeKind::Mesh) {}

    const std::vector<TMeshTriangle>& Triangles() const { return Triangles_; }
    void SetTriangles(std::vector<TMeshTriangle> T);
    void AddTriangle(const TMeshTriangle& T);
    // Minimum and maximum corner of all triangles in the mesh's own coordinates; false for an
    // empty mesh.
    bool Extents(TVector3D& Min, TVector3D& Max) const;

private:
    std::vector<TMeshTriangle> Triangles_;
};

// What a render callback is given: the matrices of the frame (row vectors, as GL stores them),
// the viewer's size in pixels, and a 2D pixel canvas opened on first use.
struct TRenderContext {
    std::array<float, 16> ModelView{}, Projection{};
    int Width = 0, Height = 0;
    std::function<TCanvas2D&()> OpenCanvas;
};

// Calls OnRender when the renderer reaches it in tree order. The GL renderer hands over a
// compatibility context with the fixed-function matrices loaded, depth test as the scene says,
// and no program bound, so the callback may draw with direct GL.
class TRenderCallback : public TSceneNode {
public:
    TRenderCallback() : TSceneNode(TSceneNodeKind::RenderCallback) {}
    std::function<void(TRenderContext&)> OnRender;
};

enum class THudAlign { Left, Centre, Right };
enum class THudLayout { Top, Centre, Bottom };

// A text placed in viewer pixels (origin top-left), drawn with a bitmap font on top of the
// scene when the renderer reaches it. Lines are separated by LF; CR is ignored.
class THudText : public TSceneNode {
public:
    THudText() : TSceneNode(TSceneNodeKind::HudText) {}

    void SetText(const std::string& T);
    const std::string& Text() const { return Text_; }
    void SetPlace(int X, int Y);
    int X() const { return X_; }
    int Y() const { return Y_; }
    void SetColor(const TSceneColor& C);
    TSceneColor Color() const { return Color_; }
    THudAlign Align = THudAlign::Left;
    THudLayout Layout = THudLayout::Top;
    std::string FontFamily = "Sans";
    int FontPixelSize = 12;

private:
    std::string Text_;
    int X_ = 0, Y_ = 0;
    TSceneColor Color_;
};

// The light of lit solids, at its position (relative to its parent).
class TLightNode : public TSceneNode {
public:
    TLightNode() : TSceneNode(TSceneNodeKind::Light) {}
    TSceneColor Ambient{0.3f, 0.3f, 0.3f, 1}, Diffuse{0.8f, 0.8f, 0.8f, 1};
};

// The scene: its root, the look of the whole frame, and the hook by which a viewer learns that
// something changed.
class TScene {
public:
    TScene();
    ~TScene();
    TScene(const TScene&) = delete;
    TScene& operator=(const TScene&) = delete;

    TSceneGroup& Root() { return *Root_; }
    const TSceneGroup& Root() const { return *Root_; }

    TSceneColor BackgroundColor() const { return Background_; }
    void SetBackgroundColor(const TSceneColor& C);
    bool DepthTest() const { return DepthTest_; }
    void SetDepthTest(bool D);

    // Called on the first change of a node or of the scene's settings after a frame was drawn;
    // a viewer repaints on it. Building a drawing changes nodes millions of times: one call per
    // frame keeps that cheap.
    std::function<void()> OnChange;
    void NotifyChange()
    {
        if (ChangePending)
            return;
        ChangePending = true;
        if (OnChange)
            OnChange();
    }
    // A viewer calls this when it has drawn a frame: the next change calls OnChange again.
    void FrameDrawn() { ChangePending = false; }

private:
    std::unique_ptr<TSceneGroup> Root_;
    TSceneColor Background_{0, 0, 0, 1};
    bool DepthTest_ = false;
    bool ChangePending = false;
};
