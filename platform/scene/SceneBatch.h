#pragma once
// Turns one group's leaves into the vertex and index arrays the renderer uploads as the group's
// buffers, and the ordered list of draw commands over them. Adjacent leaves that draw alike
// (same primitive, width, blending, depth mode) share one command, so a group of a hundred
// thousand polylines is one draw call; leaves of other kinds keep their place in the tree order.
// A batch node (TFlatBatch) holds shapes already in that form, written there without a node each.
// Plain C++: the renderer only uploads and draws what this builds.
#include "SceneNodes.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// Lines, points and polygons: position and an RGBA8 colour (16 bytes).
struct TFlatVertex {
    float X, Y, Z;
    uint8_t R, G, B, A;
};

// Solids and textured planes: position, normal, texture coordinates, RGBA8 colour.
struct TSurfaceVertex {
    float X, Y, Z;
    float NX, NY, NZ;
    float U, V;
    uint8_t R, G, B, A;
};

enum class TBatchPrim : uint8_t {
    Lines,     // indexed pairs of flat vertices
    Points,    // indexed flat vertices
    Triangles, // indexed triples of flat vertices, unlit
    Lit,       // surface vertices in triples, lit from the scene's light
    Textured,  // surface vertices in triples, showing one texture tile of Plane
    Strips     // line strips of a TFlatBatch: entries First .. First + Count - 1 of its strip table
};

enum class TDepthMode : uint8_t { Scene, Off };

struct TBatchCommand {
    TBatchPrim Prim = TBatchPrim::Lines;
    uint32_t First = 0, Count = 0; // indices (flat kinds) or surface vertices
    float Size = 1;                // line width or point size in pixels
    bool Smooth = false;           // round points
    bool Blend = true;
    TDepthMode Depth = TDepthMode::Scene;
    bool DepthWrite = true;
    const TTexturedPlane* Plane = nullptr;
    int Tile = 0;
};

// True, and Last covers C too, when C draws as Last does and follows it in the same array:
// neighbours drawn alike share one command.
bool JoinCommand(TBatchCommand& Last, const TBatchCommand& C);

// What a group draws in tree order: a run of commands over its buffers, or a child that is not in
// the buffers (a subgroup, a render callback, a HUD text).
struct TBatchItem {
    TSceneNode* Node = nullptr;
    uint32_t FirstCommand = 0, CommandCount = 0;
};

struct TGroupBatch {
    std::vector<TFlatVertex> Flat;
    std::vector<uint32_t> Indices;
    std::vector<TSurfaceVertex> Surface;
    std::vector<TBatchCommand> Commands;
    std::vector<TBatchItem> Items;
};

// Many flat shapes written straight into vertex arrays, without a node each: a whole drawing is
// rebuilt into one of these at the cost of its vertices alone (16 bytes a point), and the
// renderer uploads them as they are, with no copy into the group's buffers. Line strips are kept
// as a table of vertex runs, not as index pairs: the renderer makes the pairs only on the GL side
// while it uploads, and draws the strips of equal width with one call. Points and filled polygons,
// few in a drawing, are indexed. The vertices grow in blocks of a megabyte that stay where they
// are: growing copies nothing and touches no page twice. Shapes are only added; to change one, the
// group is emptied and built again.
class TFlatBatch : public TSceneNode {
public:
    static constexpr size_t BlockVertices = size_t(1) << 16;

    TFlatBatch() : TSceneNode(TSceneNodeKind::FlatBatch) {}

    // A line strip, point by point; a strip of fewer than two points is dropped at its end.
    void BeginStrip(const TSceneColor& Color, float Width);
    void AddStripPoint(double X, double Y, double Z);
    void EndStrip();
    // A point of Size pixels, round when Smooth.
    void AddPoint(double X, double Y, double Z, const TSceneColor& Color, float Size, bool Smooth);
    // A filled polygon as TPolygonNode draws it: opaque unless Blended.
    void AddPolygon(std::span<const TVector3f> Nodes, const TSceneColor& Color, bool Blended);

    size_t VertexCount() const { return Count; }
    const TFlatVertex& Vertex(size_t I) const { return Blocks[I / BlockVertices][I % BlockVertices]; }
    // The vertices in order, block by block.
    size_t BlockCount() const { return (Count + BlockVertices - 1) / BlockVertices; }
    std::span<const TFlatVertex> Block(size_t B) const
    {
        return {Blocks[B].get(), std::min(BlockVertices, Count - B * BlockVertices)};
    }
    // Strip I runs over the vertices StripFirsts[I] .. StripFirsts[I] + StripCounts[I] - 1.
    const std::vector<int32_t>& StripFirsts() const { return StripFirsts_; }
    const std::vector<int32_t>& StripCounts() const { return StripCounts_; }
    const std::vector<uint32_t>& Indices() const { return Indices_; }
    const std::vector<TBatchCommand>& Commands() const { return Commands_; }
    // Moves on with every shape added and is never the same for two batches: the renderer
    // uploads the batch again when it has moved on since the last upload.
    uint64_t Revision() const { return Revision_; }

private:
    void UseColor(const TSceneColor& Color);
    uint32_t AddVertex(double X, double Y, double Z);
    // A command over the last Entries strips or indices, or the last one grown to cover them.
    void AddCommand(TBatchCommand C, uint32_t Entries);
    // A shape is complete: the revision moves on and the viewers hear of it.
    void Added();

    std::vector<std::unique_ptr<TFlatVertex[]>> Blocks;
    size_t Count = 0;
    std::vector<int32_t> StripFirsts_, StripCounts_;
    std::vector<uint32_t> Indices_;
    std::vector<TBatchCommand> Commands_;
    uint64_t Revision_ = 0;
    // The colour of the vertices being added, as bytes.
    uint8_t Rgba[4] = {255, 255, 255, 255};
    size_t StripStart = 0;
    float StripWidth = 1;
};

// The batch node at the end of G, made there when G's last child is another node: shapes keep
// their place in the tree order among the nodes added between them.
TFlatBatch& BatchAtEnd(TSceneGroup& G);

// One tile of a picture larger than the texture limit: pixel columns X .. X + W - 1, rows
// Y .. Y + H - 1.
struct TTextureTile {
    int X = 0, Y = 0, W = 0, H = 0;
};
// Splits a W x H picture into tiles of at most MaxSize x MaxSize, row by row from the top left.
std::vector<TTextureTile> TextureTiles(int W, int H, int MaxSize);

// Builds the batch of G's visible children. MaxTextureSize splits pictures into tiles. Batch
// nodes (TFlatBatch) are items of their own: they are drawn from their own arrays.
TGroupBatch BuildGroupBatch(const TSceneGroup& G, int MaxTextureSize);

// Triangles (index triples into Points) filling a simple polygon given in either orientation.
// Degenerate and self-crossing outlines are filled as well as they go, never with a hang.
std::vector<uint32_t> TriangulatePolygon(const std::vector<TVector2D>& Points);
