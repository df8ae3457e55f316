// The native drawing stream and the block library: writing, reading, merging, and the files.
#include "QVBitmap2D.h"
#include "QVCmp.h"

#include "CADExceptions.h"
#include "FileReplace.h"
#include "QVLanguage.h"
#include "QVServices.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <typeinfo>
#include <unistd.h>

namespace {

constexpr uint8_t MarkerBlocks = 2;
constexpr uint8_t MarkerObjects = 3;
constexpr uint8_t MarkerOperations = 4;
constexpr int16_t EndOfObjects = -1;
constexpr size_t TagSize = 6;

void ShowReaderMessage(const std::string& text)
{
    MainWindow().MessageBox(text, GetLangString(450), TMsgIcon::Warning, TMsgButtons::Ok);
}

// The class of a stored index. An empty slot cannot be skipped, since records carry no length:
// the reader shows the message and the load stops there instead of reading on at a wrong
// offset. An index beyond the table raises ECADOutOfBound as the registry does.
const TGraphicClass& ClassForRecord(int16_t index, const char* section)
{
    try {
        return QV_00FindClassByIndex(index);
    } catch (const ECADObjClassNotFound&) {
        ShowReaderMessage(MsgClassNotFound);
        throw ECADFileNotValid(std::string("TQVCmp.") + section + ": Object class not found (class index " +
                               std::to_string(index) + ")");
    }
}

// A record whose nested objects name an empty registry slot stops the load the same way.
std::unique_ptr<TGraphicObject> ReadRecord(const TGraphicClass& cls, TStreamReader& stream,
                                           const std::string& versionTag, const char* section)
{
    try {
        return cls.CreateFromStream(stream, versionTag);
    } catch (const ECADObjClassNotFound& e) {
        ShowReaderMessage(MsgClassNotFound);
        throw ECADFileNotValid(std::string("TQVCmp.") + section + ": " + e.what());
    }
}

// What the object reader must know of a record's object. It depends on the dynamic type only,
// and a drawing holds few types in long runs, so the casts are made once per change of type.
struct TRecordKind {
    bool Is2D = false;
    bool IsContainer = false;
    bool IsBlockReference = false;
    bool IsBitmap = false;
};

class TRecordKinds {
public:
    TRecordKind Of(const TGraphicObject& obj)
    {
        const std::type_info& type = typeid(obj);
        if (!Type || *Type != type) {
            Type = &type;
            Kind = {dynamic_cast<const TObject2D*>(&obj) != nullptr,
                    dynamic_cast<const TContainer2D*>(&obj) != nullptr,
                    dynamic_cast<const TBlock2D*>(&obj) != nullptr,
                    dynamic_cast<const TBitmap2D*>(&obj) != nullptr};
        }
        return Kind;
    }

private:
    const std::type_info* Type = nullptr;
    TRecordKind Kind;
};

std::string ReadTag(TStreamReader& stream) { return stream.ReadChars(TagSize); }

std::string ErrnoText(int err) { return std::strerror(err); }

// The reason alone (a record cut short, a picture damaged, a class index beyond the table) would
// not say that it is this drawing file that is at fault.
std::string DamagedFileText(const std::string& fileName, const std::string& reason)
{
    const std::string name = fileName.substr(fileName.find_last_of('/') + 1);
    return "The drawing file \"" + name + "\" is damaged and cannot be opened.\n" + reason;
}

// A file that closes itself.
class TFd {
public:
    explicit TFd(int fd) : Fd(fd) {}
    ~TFd()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return Fd; }

private:
    int Fd;
};

std::vector<uint8_t> ReadToEnd(const std::string& fileName, int fd)
{
    std::vector<uint8_t> bytes;
    uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw ECADCoreException("Cannot read file \"" + fileName + "\". " + ErrnoText(errno));
        }
        if (n == 0)
            return bytes;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
}

// A drawing file read through a window of its bytes that moves along as the load goes on: a
// large drawing is read at the speed of a plain sequential read, and its bytes never have to
// be held in memory all at once beside the objects made from them. A file that shrinks while
// it is read ends early and is refused like a short one.
class TFileStreamReader final : public TStreamReader {
public:
    TFileStreamReader(const std::string& fileName, int fd, size_t size)
        : TStreamReader(size), FileName(fileName), Fd(fd)
    {
    }

protected:
    void Refill(size_t size) override
    {
        const size_t base = Position();
        const size_t want = std::min(std::max(size, WindowSize), Remaining());
        if (Capacity < want) {
            Window = std::make_unique_for_overwrite<uint8_t[]>(want);
            Capacity = want;
        }
        size_t got = 0;
        while (got < want) {
            const ssize_t n = ::pread(Fd, Window.get() + got, want - got, static_cast<off_t>(base + got));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw ECADCoreException("Cannot read file \"" + FileName + "\". " + ErrnoText(errno));
            }
            if (n == 0)
                break;
            got += static_cast<size_t>(n);
        }
        SetWindow(base, Window.get(), got);
        if (got < size)
            FailShort(size);
    }

private:
    static constexpr size_t WindowSize = size_t(1) << 20;

    const std::string& FileName;
    int Fd;
    std::unique_ptr<uint8_t[]> Window;
    size_t Capacity = 0;
};

}  // namespace

// ---- whole streams ----

void TQV_01Cmp::SaveToStream(TStreamWriter& Stream)
{
    RASTREL_ASSERT(VersionTag.size() == TagSize);
    Stream.WriteChars(VersionTag);
    Layers.SaveToStream(Stream);
    Stream.WriteByte(MarkerBlocks);
    SaveBlocksToStream(Stream, false);
    Stream.WriteByte(MarkerObjects);
    SaveObjectsToStream(Stream);
    Stream.WriteByte(MarkerOperations);
    if (OpsStreamWriter)
        OpsStreamWriter(Stream);
}

bool TQV_01Cmp::AcceptVersion(TStreamReader& Stream, TStreamType Type, bool Accepted)
{
    if (!Accepted && OnInvalidFileVersion) {
        bool resume = false;
        OnInvalidFileVersion(*this, Type, Stream, resume);
        Accepted = resume;
    }
    return Accepted;
}

void TQV_01Cmp::MergeFromStream(TStreamReader& Stream)
{
    FileVersionTag = ReadTag(Stream);
    if (!AcceptVersion(Stream, TStreamType::stDrawing, FileVersionTag <= VersionTag))
        throw ECADFileTooNew(
            "TQVCmp.LoadFromStream: Invalid stream version.\r\nFile created with a higher version " +
            FileVersionTag.substr(3, 3) + "\r\nUpdate your product...");
    Layers.LoadFromStream(Stream, FileVersionTag);
    if (Stream.AtEnd() || Stream.ReadByte() != MarkerBlocks)
        throw ECADFileNotValid("TQVCmp.MergeFromStream: no blocks found");
    LoadBlocksFromStream(Stream, FileVersionTag);
    if (Stream.AtEnd() || Stream.ReadByte() != MarkerObjects)
        throw ECADFileNotValid("TQVCmp.MergeFromStream: no objects found");
    LoadObjectsFromStream(Stream, FileVersionTag);
}

void TQV_01Cmp::LoadFromStream(TStreamReader& Stream, bool Merge)
{
    if (!Merge) {
        DeleteAllObjects();
        DeleteDrawingBlocks();
    }
    MergeFromStream(Stream);
    // The end of the stream may end the drawing here: files of old versions stop after the
    // objects.
    if (Stream.AtEnd() || Stream.ReadByte() != MarkerOperations)
        return;
    if (OpsStreamReader)
        OpsStreamReader(Stream, FileVersionTag);
}

void TQV_01Cmp::LoadLibrary(TStreamReader& Stream)
{
    const std::string tag = ReadTag(Stream);
    if (!AcceptVersion(Stream, TStreamType::stLibrary, tag == VersionTag))
        throw ECADFileTooNew("TCADCmp.LoadLibrary: Invalid stream version.");
    if (Stream.AtEnd() || Stream.ReadByte() != MarkerBlocks)
        throw ECADFileNotValid("TCADCmp.LoadLibrary: no blocks found");
    LoadBlocksFromStream(Stream, tag);
}

void TQV_01Cmp::SaveToFile(const std::string& FileName)
{
    // The stream goes to a new file beside the old one in pieces as it is made. Whatever stops
    // the save (an object that cannot be written, a full disk) removes the new file and leaves
    // the old one as it was.
    try {
        TFileReplace file(FileName);
        TStreamWriter stream(file);
        SaveToStream(stream);
        stream.Flush();
        file.Commit();
    } catch (const EFileReplace& e) {
        throw ECADCoreException("Cannot save the drawing to \"" + FileName + "\": " + ErrnoText(e.Err));
    }
}

void TQV_01Cmp::LoadFromFile(const std::string& FileName, bool Merge)
{
    TFd fd(::open(FileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        throw ECADCoreException("Cannot open file \"" + FileName + "\". " + ErrnoText(errno));
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        throw ECADCoreException("Cannot read file \"" + FileName + "\". " + ErrnoText(errno));
    try {
        if (S_ISREG(st.st_mode)) {
            const auto size = static_cast<size_t>(std::max<off_t>(st.st_size, 0));
            TFileStreamReader stream(FileName, fd.Get(), size);
            LoadFromStream(stream, Merge);
        } else {
            // A pipe or a device tells no size and cannot seek: its bytes are read to the end first.
            const std::vector<uint8_t> bytes = ReadToEnd(FileName, fd.Get());
            TStreamReader stream(bytes);
            LoadFromStream(stream, Merge);
        }
    } catch (const ECADFileTooNew&) {
        throw;
    } catch (const ECADFileNotValid& e) {
        throw ECADFileNotValid(DamagedFileText(FileName, e.what()));
    } catch (const ECADOutOfBound& e) {
        throw ECADFileNotValid(DamagedFileText(FileName, e.what()));
    }
    RepaintViews();
}

// ---- sections ----

void TQV_01Cmp2D::SaveBlocksToStream(TStreamWriter& Stream, bool Library)
{
    auto it = SourceBlocks.GetForcedExclusiveIterator();
    const size_t countAt = Stream.Size();
    Stream.WriteInt32(it.Count());
    int32_t written = 0;
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
        auto* block = static_cast<TSourceBlock2D*>(obj);
        if (!block->ToBeSaved || block->IsLibrary != Library)
            continue;
        SaveIndexedObject(Stream, *block);
        ++written;
    }
    Stream.PatchInt32(countAt, written);
}

void TQV_01Cmp2D::SaveObjectsToStream(TStreamWriter& Stream)
{
    auto it = Objects.GetForcedExclusiveIterator();
    const int32_t n = it.Count();
    const int32_t step = n > 0 ? 100 / n : 0;
    int32_t remaining = n;
    Stream.WriteInt32(n);
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
        if (!Layers.GetLayer(obj->Layer).Streamable || !obj->ToBeSaved)
            continue;
        SaveIndexedObject(Stream, *obj);
        if (OnSaveProgress)
            OnSaveProgress(*this, static_cast<uint8_t>(100 - step * remaining));
        --remaining;
    }
    if (remaining > 0)
        Stream.WriteInt16(EndOfObjects);
}

TFileWeights TQV_01Cmp2D::WeightsOfRead() const
{
    return TFileWeights([first = FirstReadBlockID](const TSourceBlock2D& b) { return b.ID >= first; });
}

void TQV_01Cmp2D::IndexBlocksForReading(TBlockIndex& Read, TBlockIndex& Held)
{
    auto it = SourceBlocks.GetIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
        auto* block = static_cast<TSourceBlock2D*>(obj);
        (block->ID >= FirstReadBlockID ? Read : Held).Add(*block);
    }
}

namespace {

// Display, picking and the overlay walk as deep as an object nests.
void RefuseTooDeep(const TGraphicObject& Obj, const char* section)
{
    if (NestingDepth(Obj) > MaxNestingDepth)
        throw ECADFileNotValid(std::string("TQVCmp.") + section +
                               ": containers and block references nested deeper than " +
                               std::to_string(MaxNestingDepth));
}

// Showing Weight objects must fit what a file of the stream's size may show; a file that
// would show more is refused before any of it is shown.
void RefuseTooHeavy(uint64_t Weight, const TExpansionBudget& Budget, const char* section)
{
    if (!Budget.Fits(Weight))
        throw ECADFileNotValid(std::string("TQVCmp.") + section +
                               ": block references nested in one another would show more objects than a file "
                               "of this size can hold (at most " +
                               std::to_string(Budget.Total()) + ")");
}

} // namespace

void TQV_01Cmp2D::LoadBlocksFromStream(TStreamReader& Stream, const std::string& VersionTag)
{
    // A count of 0 or below means no blocks. Each record holds at least its class index and the
    // graphic-object record.
    const int32_t n = Stream.ReadInt32();
    if (n > 0)
        Stream.CheckCount(static_cast<uint32_t>(n), 2 + 6, "source blocks");
    FirstReadBlockID = NextSourceBlockID;
    // Each definition on its own must fit; what the objects show is taken from the budget
    // when they are read.
    const TExpansionBudget budget(Stream.Size());
    TFileWeights weights = WeightsOfRead();
    TBlockIndex held;
    TBlockIndex read(&held);
    IndexBlocksForReading(read, held);
    for (int32_t i = 0; i < n; ++i) {
        const int16_t index = Stream.ReadInt16();
        const TGraphicClass& cls = ClassForRecord(index, "LoadBlocksFromStream");
        std::unique_ptr<TGraphicObject> obj = ReadRecord(cls, Stream, VersionTag, "LoadBlocksFromStream");
        std::unique_ptr<TSourceBlock2D> block(dynamic_cast<TSourceBlock2D*>(obj.get()));
        if (!block)
            throw ECADFileNotValid("TQVCmp.LoadBlocksFromStream: Object of class " + std::string(obj->ClassName()) +
                                   " is not a source block");
        static_cast<void>(obj.release());
        try {
            ResolveBlockReferences(*block, read);
        } catch (const ECADListObjNotFound&) {
            ShowReaderMessage(MsgSourceBlockNotFound);
            continue;
        }
        RefuseTooDeep(*block, "LoadBlocksFromStream");
        RefuseTooHeavy(weights.Of(*block), budget, "LoadBlocksFromStream");
        read.Add(*AddSourceBlock(std::move(block)));
    }
}

void TQV_01Cmp2D::LoadObjectsFromStream(TStreamReader& Stream, const std::string& VersionTag)
{
    TBlockIndex held;
    TBlockIndex read(&held);
    IndexBlocksForReading(read, held);
    auto blocks = SourceBlocks.GetExclusiveIterator();
    // The count is that of the objects the drawing held when it was written; fewer records may
    // follow, ended by index -1. Room is made only for as many records as the bytes left can
    // hold (a class index and a graphic-object record each).
    int32_t n = Stream.ReadInt32();
    const TBulkAdd bulk(*this, n > 0 ? std::min<size_t>(n, Stream.Remaining() / 8) : 0);
    const uint8_t step = n > 0 ? static_cast<uint8_t>(100 / n) : 0;
    TRecordKinds kinds;
    TExpansionBudget budget(Stream.Size());
    TFileWeights weights = WeightsOfRead();
    while (n > 0) {
        const int16_t index = Stream.ReadInt16();
        if (index == EndOfObjects)
            break;
        --n;
        const TGraphicClass& cls = ClassForRecord(index, "LoadObjectsFromStream");
        std::unique_ptr<TGraphicObject> obj = ReadRecord(cls, Stream, VersionTag, "LoadObjectsFromStream");
        if (OnLoadProgress)
            OnLoadProgress(*this, step);
        const TRecordKind kind = kinds.Of(*obj);
        if (!kind.Is2D) {
            ShowReaderMessage(MsgNot2DObject);
            continue;
        }
        try {
            if (kind.IsContainer)
                ResolveBlockReferences(static_cast<TContainer2D&>(*obj), read);
            else if (kind.IsBlockReference)
                static_cast<TBlock2D&>(*obj).UpdateReference(read);
        } catch (const ECADListObjNotFound&) {
            ShowReaderMessage(MsgSourceBlockNotFound);
            continue;
        }
        if (kind.IsContainer || kind.IsBlockReference) {
            RefuseTooDeep(*obj, "LoadObjectsFromStream");
            const uint64_t weight = weights.Of(*obj);
            RefuseTooHeavy(weight, budget, "LoadObjectsFromStream");
            static_cast<void>(budget.Take(weight));
        }
        CurrentLayer = obj->Layer;
        TGraphicObject* added = AddObject(-1, std::move(obj));
        if (index == LabelClassIndex && OnDrawingLabelRead)
            OnDrawingLabelRead(*added);
        // The image read last is the one tracing works on.
        if (kind.IsBitmap)
            CurrentBitmap = static_cast<TBitmap2D*>(added);
    }
}
