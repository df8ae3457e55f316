// The undo log on a large traced drawing: pushing and undoing the delete of 100,000 of its
// 1,000,000 lines (every tenth, so each comes back between two others), beside the delete itself.
// Each figure is the first use in a new process. The goal: the undo within 2x the delete. Also
// the memory a push takes per byte of its record, and the record's bytes per byte the objects
// take in a drawing file.
#include "FreshProcess.h"
#include "QVContainer.h"
#include "QVRegistry.h"
#include "TracedDrawing.h"
#include "UndoRedo.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int32_t Lines = 1'000'000;
constexpr int32_t Deleted = 100'000;
constexpr int Runs = 3;

std::vector<int32_t> DeletedIDs()
{
    std::vector<int32_t> ids(Deleted);
    for (int32_t i = 0; i < Deleted; ++i)
        ids[size_t(i)] = i * (Lines / Deleted) + 3;
    return ids;
}

void DeleteAll(TQV_01Cmp2D& Drawing, const std::vector<int32_t>& IDs)
{
    for (const int32_t id : IDs)
        Drawing.DeleteObject(id);
}

enum class TSection { Delete, Push, Undo };

// The drawing is built (and, for the undo, pushed and deleted) before the clock starts.
TFirstUse Measure(TSection Section)
{
    return InFreshProcess([Section] {
        RegisterDrawingClasses();
        auto drawing = std::make_unique<TQV_01Cmp2D>();
        FillTracedDrawing(*drawing, Lines, 0);
        TUndoRedo log;
        log.AttachDrawing(drawing.get());
        const std::vector<int32_t> ids = DeletedIDs();
        TFirstUse r;
        switch (Section) {
        case TSection::Delete:
            r = MeasureFirstUse([&] { DeleteAll(*drawing, ids); });
            break;
        case TSection::Push:
            r = MeasureFirstUse([&] { log.AddUndo(0, ids); });
            break;
        case TSection::Undo:
            log.AddUndo(0, ids);
            DeleteAll(*drawing, ids);
            r = MeasureFirstUse([&] { log.Undo(); });
            if (drawing->ObjectsCount() != Lines)
                std::abort();
            break;
        }
        // Freeing a million objects is no part of what a process ending has to do.
        log.AttachDrawing(nullptr);
        static_cast<void>(drawing.release());
        return r;
    });
}

TFirstUse Best(TSection Section)
{
    TFirstUse best;
    for (int run = 0; run < Runs; ++run) {
        const TFirstUse r = Measure(Section);
        if (run == 0 || r.Seconds < best.Seconds)
            best = r;
    }
    return best;
}

// The bytes one line takes in a record, and in a drawing file (class index and record).
void RecordSizes(double& RecordBytes, double& FileBytes)
{
    RegisterDrawingClasses();
    TQV_01Cmp2D drawing;
    FillTracedDrawing(drawing, 1, 0);
    TUndoRedo log;
    log.AttachDrawing(&drawing);
    log.AddUndo(0, {0});
    RecordBytes = double(log.StreamSize());
    TStreamWriter w;
    SaveIndexedObject(w, *drawing.GetObject(0));
    FileBytes = double(w.Size());
    log.AttachDrawing(nullptr);
}

} // namespace

int main()
{
    const TFirstUse del = Best(TSection::Delete);
    const TFirstUse push = Best(TSection::Push);
    const TFirstUse undo = Best(TSection::Undo);
    double recordBytes = 0, fileBytes = 0;
    RecordSizes(recordBytes, fileBytes);
    const double record = recordBytes * Deleted;
    const double objects = fileBytes * Deleted;

    std::printf("drawing of %d lines, %d of them deleted (every tenth); best of %d runs, each the first in a "
                "new process\n",
                Lines, Deleted, Runs);
    std::printf("delete        %8.1f ms   new memory %7.1f MB\n", del.Seconds * 1e3, del.NewBytes() / 1e6);
    std::printf("push          %8.1f ms   new memory %7.1f MB\n", push.Seconds * 1e3, push.NewBytes() / 1e6);
    std::printf("undo          %8.1f ms   new memory %7.1f MB\n", undo.Seconds * 1e3, undo.NewBytes() / 1e6);
    std::printf("undo / delete: %.2fx (goal 2x); push + undo / delete: %.2fx\n", undo.Seconds / del.Seconds,
                (push.Seconds + undo.Seconds) / del.Seconds);
    std::printf("record %.1f MB for objects of %.1f MB in a file: %.2f record bytes per object byte\n",
                record / 1e6, objects / 1e6, record / objects);
    std::printf("push memory per record byte: %.2f\n", push.NewBytes() / record);
    return 0;
}
