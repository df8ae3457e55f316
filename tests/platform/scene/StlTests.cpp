// The STL codec: the block inside a stream, binary and text files, and refused input.
#include "CADExceptions.h"
#include "QVStream.h"
#include "SceneStl.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {
// A cube of 12 triangles spanning (0, 0, 0)-(10, 20, 5).
std::vector<TMeshTriangle> Cube()
{
    TScene scene;
    auto* box = scene.Root().Add<TBoxNode>();
    box->SetSize(10, 20, 5);
    std::vector<TMeshTriangle> out;
    const float x = 10, y = 20, z = 5;
    const TVector3f c[8] = {{0, 0, 0}, {x, 0, 0}, {x, y, 0}, {0, y, 0},
                            {0, 0, z}, {x, 0, z}, {x, y, z}, {0, y, z}};
    const int f[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {2, 3, 7, 6}, {1, 2, 6, 5}, {3, 0, 4, 7}};
    for (const auto& q : f) {
        out.push_back({{}, {c[q[0]], c[q[1]], c[q[2]]}});
        out.push_back({{}, {c[q[0]], c[q[2]], c[q[3]]}});
    }
    return out;
}

bool Same(const TVector3f& A, const TVector3f& B)
{
    return A.X == B.X && A.Y == B.Y && A.Z == B.Z;
}
} // namespace

TEST(Stl, BlockInTheMiddleOfAStreamRoundTrips)
{
    const auto cube = Cube();
    TStreamWriter w;
    w.WriteInt32(1234);
    WriteStlBlock(w, cube, "nomefile.stl");
    const size_t blockSize = w.Size() - 4;
    w.WriteInt32(5678);
    EXPECT_EQ(blockSize, 684u); // 84 + 12 x 50

    TStreamReader r(w.Bytes());
    EXPECT_EQ(r.ReadInt32(), 1234);
    const auto back = ReadStlBlock(r);
    EXPECT_EQ(r.ReadInt32(), 5678); // exactly the block was read
    ASSERT_EQ(back.size(), cube.size());
    for (size_t i = 0; i < cube.size(); ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_TRUE(Same(back[i].V[k], cube[i].V[k]));
    // The stored normal is the plane's: the bottom face looks down.
    EXPECT_EQ(back[0].Normal.Z, -1);
    // The header is the text, padded with zeros.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(w.Bytes().data()) + 4, 12), "nomefile.stl");
    EXPECT_EQ(w.Bytes()[4 + 12], 0);
}

TEST(Stl, ACountTheDataCannotHoldIsRefusedBeforeAllocating)
{
    TStreamWriter w;
    WriteStlBlock(w, Cube(), "x");
    std::vector<uint8_t> bytes = w.Bytes();
    bytes[80] = 0xFF, bytes[81] = 0xFF, bytes[82] = 0xFF, bytes[83] = 0x7F;
    TStreamReader r(bytes);
    EXPECT_THROW(ReadStlBlock(r), ECADFileNotValid);
    bytes.resize(83);
    TStreamReader shortReader(bytes);
    EXPECT_THROW(ReadStlBlock(shortReader), ECADFileNotValid);
}

TEST(Stl, FilesAreReadInEitherForm)
{
    const std::string ascii =
        "solid part\n"
        " facet normal 0 0 1\n  outer loop\n   vertex 0 0 0\n   vertex 1 0 0\n   vertex 0 1.5e1 0\n"
        "  endloop\n endfacet\nendsolid part\n"
        "solid second\n facet normal 0 0 1\n outer loop vertex 0 0 2 vertex 1 0 2 vertex 0 1 2 endloop "
        "endfacet\n"
        "endsolid\n";
    const auto* data = reinterpret_cast<const uint8_t*>(ascii.data());
    const auto tris = ReadStlBytes(data, ascii.size());
    ASSERT_EQ(tris.size(), 2u);
    EXPECT_EQ(tris[0].V[2].Y, 15);
    EXPECT_EQ(tris[1].V[0].Z, 2);

    // A binary file whose header begins with "solid" is still binary: its size says so.
    TStreamWriter w;
    WriteStlBlock(w, Cube(), "solid made by another program");
    EXPECT_EQ(ReadStlBytes(w.Bytes().data(), w.Size()).size(), 12u);

    TTempFolder folder;
    const std::string path = folder.Path() + "/cube.stl";
    WriteStlFile(path, Cube());
    EXPECT_EQ(std::filesystem::file_size(path), 684u);
    EXPECT_EQ(ReadStlFile(path).size(), 12u);
}

TEST(Stl, BadFilesRaiseClearErrors)
{
    struct TCase {
        const char* Name;
        std::string Text;
    };
    const std::vector<TCase> cases = {
        {"no endsolid",
         "solid a\nfacet normal 0 0 1 outer loop vertex 0 0 0 vertex 1 0 0 vertex 0 1 0 endloop endfacet\n"},
        {"bad number", "solid a\nfacet normal 0 0 x\n"},
        {"infinite number", "solid a\nfacet normal 0 0 1 outer loop vertex inf 0 0"},
        {"unknown word", "solid a\nfacets\n"},
        {"short binary", std::string(90, 'A')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_THROW(ReadStlBytes(reinterpret_cast<const uint8_t*>(c.Text.data()), c.Text.size()),
                     ECADFileNotValid);
    }
    TTempFolder folder;
    try {
        ReadStlFile(folder.Path() + "/missing.stl");
        ADD_FAILURE();
    } catch (const ECADFileNotValid& e) {
        EXPECT_NE(std::string(e.what()).find("missing.stl"), std::string::npos);
    }
}

TEST(Stl, MeshExtentsCoverAllTriangles)
{
    TMesh mesh;
    TVector3D lo, hi;
    EXPECT_FALSE(mesh.Extents(lo, hi));
    mesh.SetTriangles(Cube());
    mesh.AddTriangle({{}, {{-1, 0, 0}, {0, 0, 9}, {0, 0, 0}}});
    ASSERT_TRUE(mesh.Extents(lo, hi));
    EXPECT_EQ(lo.X, -1);
    EXPECT_EQ(hi.Y, 20);
    EXPECT_EQ(hi.Z, 9);
}
