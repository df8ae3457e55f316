#pragma once
// The drawing: the in-memory document that owns the drawing objects, the block definitions and
// the 256 layers, hands out IDs, and saves and loads itself as a native drawing stream or file.
//
// Program-wide references into the drawing (the current bitmap, the current label, tree nodes)
// are weak: every holder registers a free listener and clears its reference when the drawing
// announces that an object is about to be freed.
#include "CADExceptions.h"
#include "QVContainer.h"
#include "QVLayers.h"
#include "QVList.h"
#include "QVObject2D.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

// The tag written at the head of every drawing stream and required of block libraries.
inline const std::string CurrentVersionTag = "QV-3.6";

// A drawing stream of a newer version than this program reads: not damaged, only too new.
class ECADFileTooNew : public ECADFileNotValid {
public:
    using ECADFileNotValid::ECADFileNotValid;
};

enum class TStreamType { stDrawing, stLibrary };

// What the drawing needs of a view that shows it.
class TDrawingView {
public:
    virtual ~TDrawingView() = default;
    // Rebuilds every display object; RenewStock also renews the stock solid.
    virtual void RebuildAll(bool RenewStock) = 0;
    // Shows the box centred, its diagonal spanning the view's width.
    virtual void ZoomToBox(const TRect3D& Box) = 0;
    // The two corners the view keeps for its grid.
    virtual TRect3D GridBox() const = 0;
    // The pixel that shows a world point; Y grows downwards.
    virtual TPoint WorldToScreen(const TPoint2D& P) const = 0;
    // The pixels of Count points, the same as WorldToScreen of each; a view that can sets the
    // mapping up once for all of them.
    virtual void WorldToScreenMany(const TPoint2D* P, size_t Count, TPoint* Out) const
    {
        for (size_t i = 0; i < Count; ++i)
            Out[i] = WorldToScreen(P[i]);
    }
    // The world point on the plane Z = 0 shown at the pixel position (X, Y), fractions allowed.
    // False when the view cannot tell; window selection then maps every object to the screen.
    virtual bool ScreenToWorldPlane(double /*X*/, double /*Y*/, TPoint2D& /*P*/) const { return false; }
    // True: the busy cursor, and pending window messages run. False: the cursor it replaced.
    virtual void ShowBusy(bool Busy) = 0;
};

// What the drawing and the editing tools need of the geometry tree.
class TDrawingTree {
public:
    virtual ~TDrawingTree() = default;
    // Adds the object's node under its layer's node (making that node first when needed).
    virtual void AddObjectNode(TGraphicObject& Obj) = 0;
    // Removes the object's node (by its TreeNode); nothing when it has none.
    virtual void DeleteObjectNode(TGraphicObject& Obj) = 0;
    // Obj's layer has changed: its node moves, last, under the node of its new layer.
    virtual void MoveGeoTreeObjectNode(TGraphicObject& Obj) = 0;
    // Bracket a change of many objects (an import, an undo of a large delete) so that a view
    // of the tree catches up once at the end. Nestable.
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}
};

// Brackets a change of many objects in the geometry tree (none: nothing), ended however the change
// ends.
class TTreeUpdate {
public:
    explicit TTreeUpdate(TDrawingTree* Tree) : Tree(Tree)
    {
        if (Tree)
            Tree->BeginUpdate();
    }
    ~TTreeUpdate()
    {
        if (Tree)
            Tree->EndUpdate();
    }
    TTreeUpdate(const TTreeUpdate&) = delete;
    TTreeUpdate& operator=(const TTreeUpdate&) = delete;

private:
    TDrawingTree* Tree;
};

class TQV_01Cmp;
class TObjectBoxIndex;

// Told of every change to the drawing's objects and to their boxes, so that an index over them
// keeps in step. Observers are not owned: one removes itself before it goes.
class TDrawingObserver {
public:
    virtual ~TDrawingObserver() = default;
    // Obj has joined the drawing's objects, its box computed.
    virtual void ObjectAdded(TGraphicObject& Obj) = 0;
    // The box of Obj, an object or a block definition of the drawing, was computed again.
    virtual void ObjectBoxChanged(TGraphicObject& Obj) = 0;
    // Obj, an object or a block definition, is about to be freed or taken out of the drawing.
    virtual void ObjectRemoved(TGraphicObject& Obj) = 0;
    // Every object is about to be freed; no ObjectRemoved follows for them.
    virtual void ObjectsCleared() = 0;
};

using TAddObjectEvent = std::function<void(TQV_01Cmp& Sender, TGraphicObject& Obj)>;
using TBadVersionEvent =
    std::function<void(TQV_01Cmp& Sender, TStreamType StreamType, TStreamReader& Stream, bool& Resume)>;
using TOnLoadProgress = std::function<void(TQV_01Cmp& Sender, uint8_t ReadPercent)>;
using TOnSaveProgress = std::function<void(TQV_01Cmp& Sender, uint8_t SavedPercent)>;
// Told of every drawing object and block definition just before the drawing frees it.
using TObjectFreeListener = std::function<void(TGraphicObject& Obj)>;

// The class index of the text label, which the editing subsystem registers.
constexpr int16_t LabelClassIndex = 23;
// Called by the drawing reader with a text label it has read and added: the label becomes the
// drawing's current label (the drawing still owns it). Installed by the editing subsystem.
extern std::function<void(TGraphicObject& Label)> OnDrawingLabelRead;
// The drawing's current text label, set by the editing subsystem; null for none. Weak, as is
// CurrentBitmap: a drawing clears both when it is about to free the object they point at.
extern TGraphicObject* DrawingLabel;

// The message boxes the drawing reader shows.
inline const std::string MsgClassNotFound = "Object class not found. Object not load";
inline const std::string MsgSourceBlockNotFound = "Source block not found. The block will not be loaded";
inline const std::string MsgNot2DObject = "Not 2D Object. Object discarded.";

class TQV_01Cmp {
public:
    TQV_01Cmp();
    // Frees the objects, then the block definitions (announcing each). Definitions that
    // reference each other are released from each other and freed too.
    virtual ~TQV_01Cmp();

    TQV_01Cmp(const TQV_01Cmp&) = delete;
    TQV_01Cmp& operator=(const TQV_01Cmp&) = delete;

    int32_t ObjectsCount() const { return Objects.Count(); }
    int32_t SourceBlocksCount() const { return SourceBlocks.Count(); }
    TGraphicObjIterator ObjectsIterator() { return Objects.GetIterator(); }
    TGraphicObjIterator SourceBlocksIterator() { return SourceBlocks.GetIterator(); }
    TExclusiveGraphicObjIterator ObjectsExclusiveIterator() { return Objects.GetExclusiveIterator(); }
    TExclusiveGraphicObjIterator SourceBlocksExclusiveIterator() { return SourceBlocks.GetExclusiveIterator(); }
    // True while either list has an iterator alive.
    bool IsBlocked() const { return Objects.HasActiveIterators() || SourceBlocks.HasActiveIterators(); }

    // Adds a drawing object: ID < 0 takes the next free ID, an explicit ID is kept and moves the
    // counter past itself. While the list has an iterator it raises and nothing changes (the
    // caller keeps Obj). Once the object is in the list the drawing owns it: an error of its
    // display, the add event or the tree after that reaches the caller with Obj emptied.
    template <class T>
    T* AddObject(int32_t ID, std::unique_ptr<T>&& Obj)
    {
        T* raw = InsertOwned(Obj, [&](std::unique_ptr<TGraphicObject>& taken) { InsertObject(ID, taken); });
        ShowAddedObject(*raw);
        return raw;
    }
    // Held over a run of AddObject calls from one source (a load, an import): room for
    // Expected more objects is made once and the object list's lock is taken once for the run.
    // Each object is still taken by its own AddObject, with the same guarantee.
    class TBulkAdd {
    public:
        TBulkAdd(TQV_01Cmp& Drawing, size_t Expected) : List(Drawing.Objects) { List.BeginBulkAdd(Expected); }
        ~TBulkAdd() { List.EndBulkAdd(); }
        TBulkAdd(const TBulkAdd&) = delete;
        TBulkAdd& operator=(const TBulkAdd&) = delete;

    private:
        TGraphicObjList& List;
    };
    // An auxiliary container (chain marks, previews): never saved, never selected, no tree node.
    TContainer2D* AddAuxContainer(std::unique_ptr<TContainer2D>&& Container);
    // Sets CurrentLayer to Layer for the addition and restores it.
    template <class T>
    T* AddObjectToLayer(int32_t ID, uint8_t Layer, std::unique_ptr<T>&& Obj)
    {
        const uint16_t kept = CurrentLayer;
        CurrentLayer = Layer;
        try {
            T* raw = AddObject(ID, std::move(Obj));
            CurrentLayer = kept;
            return raw;
        } catch (...) {
            CurrentLayer = kept;
            throw;
        }
    }
    // The first object added with that ID, or null.
    TGraphicObject* GetObject(int32_t ID);
    bool DeleteObject(int32_t ID);
    // Empties the objects and restarts their IDs at 0. While an iterator is alive nothing is
    // freed and the IDs go on.
    void DeleteAllObjects();

    // The ID rule of AddObject. The drawing takes Block only when it succeeds.
    template <class T>
    T* AddSourceBlock(int32_t ID, std::unique_ptr<T>&& Block)
    {
        static_assert(std::is_base_of_v<TSourceBlock2D, T>);
        return InsertOwned(Block,
                           [&](std::unique_ptr<TGraphicObject>& taken) { InsertSourceBlock(ID, taken); });
    }
    TSourceBlock2D* GetSourceBlock(int32_t ID);
    // A definition still referenced stays, without an error.
    void DeleteSourceBlock(int32_t ID);
    // Frees every definition. Definitions that only reference each other are released from
    // each other and freed, and then the circular-reference error is raised.
    void FreeSourceBlocks();

    void AddView(TDrawingView* View);
    virtual void RepaintViews();
    void RepaintView(TDrawingView& View) { View.RebuildAll(false); }

    // The pen colour of layer 0; setting it recolours every layer not Modified, leaving it so.
    int32_t DefaultLayersColor() const { return Layers.GetLayer(0).Pen.Color(); }
    void SetDefaultLayersColor(int32_t Color);

    // Takes the current object of a walk over the objects out of the drawing for good: the
    // listeners and the geometry tree let go of it as if it were freed, and the caller gets it.
    std::unique_ptr<TGraphicObject> ExtractCurrentObject(TExclusiveGraphicObjIterator& It);

    // Returns a handle for RemoveFreeListener. Safe while the drawing announces: a listener
    // added then hears from the next object on, a removed one no more.
    int32_t AddFreeListener(TObjectFreeListener Listener);
    void RemoveFreeListener(int32_t Handle);

    void AddObserver(TDrawingObserver& Observer);
    void RemoveObserver(TDrawingObserver& Observer);
    // Called by every object of the drawing whose box was computed again.
    void NotifyBoxChanged(TGraphicObject& Obj)
    {
        for (TDrawingObserver* observer : Observers)
            if (observer)
                observer->ObjectBoxChanged(Obj);
    }

    // The native drawing stream: tag, layers, blocks, objects, byte 4 and the operations block.
    void SaveToStream(TStreamWriter& Stream);
    // Reads a drawing stream up to the object section into the drawing without clearing it.
    void MergeFromStream(TStreamReader& Stream);
    void LoadFromStream(TStreamReader& Stream, bool Merge);
    void LoadLibrary(TStreamReader& Stream);
    // The whole stream is made first and written to a new file beside the target, which then
    // replaces the target: a failed save leaves the old file as it was and raises with the reason.
    void SaveToFile(const std::string& FileName);
    // A file that cannot be read whole raises ECADFileNotValid saying that it is damaged, with
    // its name and the reason; ECADFileTooNew stays as it is.
    void LoadFromFile(const std::string& FileName, bool Merge);

    virtual void LoadBlocksFromStream(TStreamReader& Stream, const std::string& VersionTag) = 0;
    virtual void SaveBlocksToStream(TStreamWriter& Stream, bool Library) = 0;
    virtual void LoadObjectsFromStream(TStreamReader& Stream, const std::string& VersionTag) = 0;
    virtual void SaveObjectsToStream(TStreamWriter& Stream) = 0;
    virtual void DeleteDrawingBlocks() = 0;
    virtual void DeleteLibraryBlocks() = 0;

    std::string VersionTag = CurrentVersionTag;
    std::string FileVersionTag = std::string(6, '\0');
    TGraphicObjList Objects;
    TGraphicObjList SourceBlocks;
    int32_t NextObjectID = 0;
    int32_t NextSourceBlockID = 0;
    std::vector<TDrawingView*> Views;  // not owned
    TDrawingView* View = nullptr;      // not owned
    TQV_20Layers Layers;
    uint16_t CurrentLayer = 0;
    TDrawingTree* TreeGeo = nullptr;  // not owned
    bool RepaintAfterTransform = true;
    TAddObjectEvent OnAddObject;
    TBadVersionEvent OnInvalidFileVersion;
    TOnLoadProgress OnLoadProgress;
    TOnSaveProgress OnSaveProgress;

protected:
    // Tells every free listener that Obj is about to be freed.
    void AnnounceFree(TGraphicObject& Obj);
    // Deletes, in repeated passes, every definition Pick accepts and that can be freed.
    // Returns true when no accepted definition is left.
    bool DeleteBlocksWhere(const std::function<bool(const TSourceBlock2D&)>& Pick);

private:
    // Hands Obj to Insert as a pointer to the base class; when Insert raises, Obj gets the
    // object back.
    template <class T, class TInsert> static T* InsertOwned(std::unique_ptr<T>& Obj, TInsert Insert)
    {
        T* raw = Obj.get();
        std::unique_ptr<TGraphicObject> taken = std::move(Obj);
        try {
            Insert(taken);
        } catch (...) {
            Obj.reset(static_cast<T*>(taken.release()));
            throw;
        }
        return raw;
    }
    // Into the list; Obj is emptied only when the list holds the object.
    void InsertObject(int32_t ID, std::unique_ptr<TGraphicObject>& Obj);
    // The added object's display, the add event and its tree node.
    void ShowAddedObject(TGraphicObject& Obj);
    void InsertSourceBlock(int32_t ID, std::unique_ptr<TGraphicObject>& Block);
    // The file's tag is at or below ours, or the version handler lets the read go on.
    bool AcceptVersion(TStreamReader& Stream, TStreamType Type, bool Accepted);

    struct TListenerSlot {
        int32_t Handle; // 0 once removed
        TObjectFreeListener Listener;
    };
    // A deque, so a listener added while the drawing announces moves none of the others, and
    // removed slots are erased only when no announcement runs: a listener may add or remove
    // listeners, itself included, while it is being called.
    std::deque<TListenerSlot> FreeListeners;
    int AnnounceDepth = 0;
    int32_t NextListenerHandle = 1;
    // Emptied, not erased, on removal: an observer may go while the drawing notifies.
    std::vector<TDrawingObserver*> Observers;
};

class TQV_01Cmp2D : public TQV_01Cmp {
public:
    TQV_01Cmp2D();
    ~TQV_01Cmp2D() override;

    TObject2D* GetObject(int32_t ID) { return dynamic_cast<TObject2D*>(TQV_01Cmp::GetObject(ID)); }
    TSourceBlock2D* AddSourceBlock(std::unique_ptr<TSourceBlock2D>&& Block)
    {
        return TQV_01Cmp::AddSourceBlock(-1, std::move(Block));
    }
    using TQV_01Cmp::AddSourceBlock;
    using TQV_01Cmp::DeleteSourceBlock;
    // The first definition whose 13-byte name equals Name.
    TSourceBlock2D* FindSourceBlock(const TBlockName& Name);
    void DeleteSourceBlock(const TBlockName& Name);

    void LoadBlocksFromStream(TStreamReader& Stream, const std::string& VersionTag) override;
    void SaveBlocksToStream(TStreamWriter& Stream, bool Library) override;
    void LoadObjectsFromStream(TStreamReader& Stream, const std::string& VersionTag) override;
    void SaveObjectsToStream(TStreamWriter& Stream) override;
    void DeleteDrawingBlocks() override;
    void DeleteLibraryBlocks() override;

    // Each listed object (every object when the first ID is negative) is transformed by M and
    // keeps the result as its placement; IDs not in the drawing are skipped. Raises
    // ECADListBlocked while the objects are walked. Repaints when RepaintAfterTransform is set.
    void TransformObjects(const std::vector<int32_t>& IDs, const TMatrix4& M);
    // The union of the boxes of the visible objects on visible layers. R stays as passed when the
    // drawing has no objects, and becomes the inverted box (1e8, 1e8)-(-1e8, -1e8) when none
    // of them is visible.
    void GetExtents(TRect2D& R);
    // The view shows the visible objects, or its grid when there are none.
    void ZoomToExtents();
    // The same with R as GetExtents has just given it, so that a caller that needed the extents
    // anyway does not walk a large drawing twice.
    void ZoomToExtents(const TRect2D& R);
    // Every object on a visible layer builds its display object, under the busy cursor.
    void RebuildGLObjects();

    // The grid of the objects' boxes that picking and window selection search, made on first use
    // and kept in step with the drawing from then on.
    TObjectBoxIndex& BoxIndex();

private:
    // The definitions by name for references read from a stream: those the last block section
    // read (IDs from FirstReadBlockID on) before those the drawing held already, so a file's
    // own block is never replaced by a library block of the same name.
    void IndexBlocksForReading(TBlockIndex& Read, TBlockIndex& Held);
    // The weights of what the stream being read shows: its definitions are those the last
    // block section read.
    TFileWeights WeightsOfRead() const;

    int32_t FirstReadBlockID = 0;
    std::unique_ptr<TObjectBoxIndex> FBoxIndex;
};
