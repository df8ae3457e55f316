#pragma once
// The vertex storage of an SVG document: every path of the document, one after another, each
// ended by a stop vertex. A vertex is a point and a command. Besides the drawing commands of a
// path the storage keeps circles and SVG's elliptical arcs whole, so that the import can make
// true circles and arcs of them.
//
// Vertices live in blocks of 65536 (1 MiB of points and their command bytes), so appending never
// moves what is stored and a large document does not need one large array. A reader done with
// the vertices before an index may give their blocks back while it goes on reading.
#include <cstdint>
#include <vector>

// The command byte of a vertex.
enum path_cmd : uint8_t {
    path_cmd_stop = 0,    // separates paths; also what reading past the end gives
    path_cmd_move_to = 1, // starts a sub-path at (x, y)
    path_cmd_line_to = 2,
    path_cmd_curve3 = 3, // quadratic Bezier: control point, then end point
    path_cmd_curve4 = 4, // cubic Bezier: two control points, then end point
    path_cmd_circle = 8, // two vertices: (cx, cy), (r, cy)
    // Four vertices: (rx, ry), (angle, angle) in degrees, (large-arc flag, sweep flag), (x, y).
    path_cmd_arc = 9,
    path_cmd_end_poly = 15,
    path_flag_close = 64,
    path_cmd_close = path_cmd_end_poly | path_flag_close, // 79: ends a closed sub-path
};

// Commands 1 to 14 draw (circles and arcs among them).
inline bool is_drawing(unsigned Cmd)
{
    return Cmd >= 1 && Cmd <= 14;
}
inline bool is_curve(unsigned Cmd)
{
    return Cmd == path_cmd_curve3 || Cmd == path_cmd_curve4;
}

class path_storage {
public:
    path_storage() = default;
    path_storage(const path_storage&) = delete;
    path_storage& operator=(const path_storage&) = delete;
    ~path_storage() { remove_all(); }

    void add_vertex(double X, double Y, unsigned Cmd);
    unsigned total_vertices() const { return m_count; }
    // The command of vertex I and its point; past the end, or in a block given back, a stop at
    // (0, 0).
    unsigned vertex(unsigned I, double* X, double* Y) const;
    unsigned command(unsigned I) const;
    // The command of the last vertex; stop when the storage is empty.
    unsigned last_command() const { return m_count ? command(m_count - 1) : unsigned(path_cmd_stop); }
    void remove_all();
    // Ends the path before with a stop vertex (unless the storage is empty or already ends with
    // one) and answers the index at which the new path begins.
    unsigned start_new_path();
    // Gives back the blocks whose every slot lies before I. The count stays; their vertices read
    // as stops afterwards.
    void release_before(unsigned I);

private:
    static constexpr unsigned BlockShift = 16;
    static constexpr unsigned BlockSize = 1u << BlockShift;
    struct coord {
        double X, Y;
    };
    // The block of vertex I, or null when it was given back.
    const coord* coords_of(unsigned I) const { return m_coords[I >> BlockShift]; }
    void free_block(unsigned B);

    std::vector<coord*> m_coords;
    std::vector<uint8_t*> m_cmds;
    unsigned m_count = 0;
};
