#pragma once
// The vertex storage of an SVG document: every path of the document, one after another, each
// ended by a stop vertex. A vertex is a point and a command. Besides the drawing commands of a
// path the storage keeps circles and SVG's elliptical arcs whole, so that the import can make
// true circles and arcs of them.
//
// Vertices live in blocks of 256 points and 256 command bytes (17 bytes a vertex), so appending
// never moves what is stored and a large document does not need one large array.
#include <agg_array.h>

#include <cstdint>

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
    void add_vertex(double X, double Y, unsigned Cmd);
    unsigned total_vertices() const { return m_cmds.size(); }
    // The command of vertex I and its point; past the end a stop at (0, 0).
    unsigned vertex(unsigned I, double* X, double* Y) const;
    unsigned command(unsigned I) const { return I < m_cmds.size() ? m_cmds[I] : unsigned(path_cmd_stop); }
    // The command of the last vertex; stop when the storage is empty.
    unsigned last_command() const { return m_cmds.size() ? m_cmds.last() : unsigned(path_cmd_stop); }
    void remove_all();
    // Ends the path before with a stop vertex (unless the storage is empty or already ends with
    // one) and answers the index at which the new path begins.
    unsigned start_new_path();

private:
    struct coord {
        double X, Y;
    };
    agg::pod_bvector<coord, 8> m_coords;
    agg::pod_bvector<uint8_t, 8> m_cmds;
};
