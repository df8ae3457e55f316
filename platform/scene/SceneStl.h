#pragma once
// Our STL codec: binary and ASCII STL files, and the binary STL block that a drawing stream
// embeds. No Qt, so it is fuzzed with the other readers.
#include "SceneNodes.h"

#include <string>
#include <vector>

class TStreamReader;
class TStreamWriter;

// A binary STL block at the reader's position: 80-byte header, UInt32 count N, N records of 50
// bytes. Reads exactly 84 + 50 N bytes; a count the remaining bytes cannot hold raises
// ECADFileNotValid before anything is allocated. Inside a stream the block is always binary:
// text STL would swallow everything after it.
std::vector<TMeshTriangle> ReadStlBlock(TStreamReader& R);

// A whole STL file held in memory, binary or ASCII: binary when its size is exactly
// 84 + 50 N, ASCII when it starts with "solid", otherwise binary (whose count check fails on a
// file of another kind). Raises ECADFileNotValid for anything unreadable.
std::vector<TMeshTriangle> ReadStlBytes(const uint8_t* Data, size_t Size);
// The same from a file; a file that cannot be opened raises ECADFileNotValid naming it.
std::vector<TMeshTriangle> ReadStlFile(const std::string& FileName);

// Writes the binary block: Header's printable characters padded with zero bytes to 80, the
// count, and each triangle with the normal of the plane through its vertices.
void WriteStlBlock(TStreamWriter& W, const std::vector<TMeshTriangle>& Triangles, const std::string& Header);
// Writes a binary STL file (replacing it only after the whole write succeeded).
void WriteStlFile(const std::string& FileName, const std::vector<TMeshTriangle>& Triangles);

// The unit normal of the plane through a triangle's vertices (counter-clockwise seen from its
// front), zero for a degenerate triangle.
TVector3f TriangleNormal(const TVector3f& A, const TVector3f& B, const TVector3f& C);
