#pragma once
// Path commands into vertices: path_renderer keeps the document's one vertex storage, a
// path_attributes record for each path (its presentation: colours, flags, stroke values and
// transform) and the stack of attributes that nested groups inherit. The parser drives it; the
// import reads the storage and the records afterwards. Nothing here draws.
#include "SvgPathStorage.h"

#include <agg_array.h>
#include <agg_color_rgba.h>
#include <agg_trans_affine.h>

#include <cstdint>

class path_tokenizer;

struct path_attributes {
    // Where the path begins in the storage.
    uint32_t index = 0;
    agg::rgba8 fill_color{0, 0, 0, 255};
    agg::rgba8 stroke_color{0, 0, 0, 255};
    bool fill_flag = true;
    bool stroke_flag = false;
    bool even_odd_flag = false;
    // 0 "miter", 2 "round", 3 "bevel".
    uint32_t line_join = 0;
    // 0 "butt", 1 "square", 2 "round".
    uint32_t line_cap = 0;
    double miter_limit = 4.0;
    double stroke_width = 1.0;
    agg::trans_affine transform;
};

class path_renderer {
public:
    // Groups nested deeper than this are refused: each level keeps a copy of the attributes.
    static constexpr unsigned MaxDepth = 1000;

    // ---- paths ----
    // Pushes the attributes and starts a path with a record of them.
    void begin_path();
    // The path's record takes the attributes set since begin_path (its index stays); then pop.
    void end_path();
    // Path data into vertices; raises on the first error (the vertices before it stay).
    void parse_path(path_tokenizer& Tok);

    // ---- drawing; Rel: the lower-case SVG command, relative to the current point ----
    void move_to(double X, double Y, bool Rel = false);
    void line_to(double X, double Y, bool Rel = false);
    void hline_to(double X, bool Rel = false);
    void vline_to(double Y, bool Rel = false);
    void curve3(double X1, double Y1, double X, double Y, bool Rel = false);
    void curve3_smooth(double X, double Y, bool Rel = false);
    void curve4(double X1, double Y1, double X2, double Y2, double X, double Y, bool Rel = false);
    void curve4_smooth(double X2, double Y2, double X, double Y, bool Rel = false);
    // Only the end point is relative; the numbers are kept as read (the angle in degrees).
    void arc_to(double Rx, double Ry, double Angle, bool LargeArc, bool Sweep, double X, double Y,
                bool Rel = false);
    void circle(double Cx, double Cy, double R);
    void close_subpath();

    // ---- attributes ----
    void push_attr();
    void pop_attr();
    path_attributes& cur_attr();
    void fill(const agg::rgba8& C);
    void stroke(const agg::rgba8& C);
    void fill_none() { cur_attr().fill_flag = false; }
    void stroke_none() { cur_attr().stroke_flag = false; }
    void fill_opacity(double Op);
    void stroke_opacity(double Op);
    void stroke_width(double W);
    void line_join(uint32_t J) { cur_attr().line_join = J; }
    void line_cap(uint32_t C) { cur_attr().line_cap = C; }
    void miter_limit(double M) { cur_attr().miter_limit = M; }
    // The transform of the top of the stack; the parser premultiplies into it.
    agg::trans_affine& transform() { return cur_attr().transform; }
    unsigned attr_depth() const { return m_attr_stack.size(); }

    // ---- reading back ----
    const path_storage& storage() const { return m_storage; }
    // The import is done with the vertices before I: their blocks go back.
    void release_vertices_before(unsigned I) { m_storage.release_before(I); }
    unsigned attributes_count() const { return m_attr_storage.size(); }
    const path_attributes& attributes(unsigned I) const { return m_attr_storage[I]; }

private:
    // The current point: the end of what was drawn last; after a close the start of the closed
    // sub-path. At the start of a path it is (0, 0) for relative numbers, and the commands that
    // need a point to draw from (horizontal and vertical lines, smooth curves) draw nothing.
    void rel_to_abs(double& X, double& Y, bool Rel) const;
    // The first control point of a smooth curve: the current point, reflected through it when
    // the last segment was a curve of the same kind (quadratic for T, cubic for S).
    void smooth_control(unsigned Kind, double& X, double& Y) const;
    void add(double X, double Y, unsigned Cmd);
    // What was drawn last ends at (X, Y) with command Cmd.
    void set_current(double X, double Y, unsigned Cmd);

    path_storage m_storage;
    agg::pod_bvector<path_attributes, 6> m_attr_storage;
    agg::pod_bvector<path_attributes, 6> m_attr_stack;
    double m_cur_x = 0, m_cur_y = 0;
    bool m_has_cur = false;
    double m_start_x = 0, m_start_y = 0;
    // The command of the last segment, and the control point before its end when it was a curve.
    unsigned m_last_cmd = path_cmd_stop;
    double m_ctrl_x = 0, m_ctrl_y = 0;
};
