#pragma once
// Turns one group's leaves into the vertex and index arrays the renderer uploads as the group's
// buffers, and the ordered list of draw commands over them. Adjacent leaves that draw alike
// (same primitive, width, blending, depth mode) share one command, so a group of a hundred
// thousand polylines is one draw call; leaves of other kinds keep their place in the tree order.
// Plain C++: the renderer only uploads and draws what this builds.
#include "SceneNodes.h"

#include <cstdint>
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
    Textured   // surface vertices in triples, showing one texture tile of Plane
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

// One tile of a picture larger than the texture limit: pixel columns X .. X + W - 1, rows
// Y .. Y + H - 1.
struct TTextureTile {
    int X = 0, Y = 0, W = 0, H = 0;
};
// Splits a W x H picture into tiles of at most MaxSize x MaxSize, row by row from the top left.
std::vector<TTextureTile> TextureTiles(int W, int H, int MaxSize);

// Builds the batch of G's visible children. MaxTextureSize splits pictures into tiles.
TGroupBatch BuildGroupBatch(const TSceneGroup& G, int MaxTextureSize);

// Triangles (index triples into Points) filling a simple polygon given in either orientation.
// Degenerate and self-crossing outlines are filled as well as they go, never with a hang.
std::vector<uint32_t> TriangulatePolygon(const std::vector<TVector2D>& Points);
