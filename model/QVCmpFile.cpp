// The native drawing stream and the block library: writing, reading, merging, and the files.
#include "QVBitmap2D.h"
#include "QVCmp.h"

#include "CADExceptions.h"
#include "FileReplace.h"
#include "QVLanguage.h"
#include "QVServices.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

std::string ReadTag(TStreamReader& stream) { return stream.ReadChars(TagSize); }

std::string ErrnoText(int err) { return std::strerror(err); }

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

std::vector<uint8_t> ReadWholeFile(const std::string& fileName)
{
    TFd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        throw ECADCoreException("Cannot open file \"" + fileName + "\". " + ErrnoText(errno));
    std::vector<uint8_t> bytes;
    struct stat st {};
    if (::fstat(fd.Get(), &st) == 0 && st.st_size > 0)
        bytes.reserve(static_cast<size_t>(st.st_size));
    uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw ECADCoreException("Cannot read file \"" + fileName + "\". " + ErrnoText(errno));
        }
        if (n == 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}

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
        throw ECADFileNotValid("TQVCmp.LoadFromStream: Invalid stream version.\r\nFile created with a higher version " +
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
        throw ECADFileNotValid("TCADCmp.LoadLibrary: Invalid stream version.");
    if (Stream.AtEnd() || Stream.ReadByte() != MarkerBlocks)
        throw ECADFileNotValid("TCADCmp.LoadLibrary: no blocks found");
    LoadBlocksFromStream(Stream, tag);
}

void TQV_01Cmp::SaveToFile(const std::string& FileName)
{
    // An object that cannot be written stops the save here, before any file is touched.
    TStreamWriter stream;
    SaveToStream(stream);
    try {
        ReplaceFileContents(FileName, stream.Bytes().data(), stream.Size());
    } catch (const EFileReplace& e) {
        throw ECADCoreException("Cannot save the drawing to \"" + FileName + "\": " + ErrnoText(e.Err));
    }
}

void TQV_01Cmp::LoadFromFile(const std::string& FileName, bool Merge)
{
    const std::vector<uint8_t> bytes = ReadWholeFile(FileName);
    TStreamReader stream(bytes);
    LoadFromStream(stream, Merge);
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

void TQV_01Cmp2D::LoadBlocksFromStream(TStreamReader& Stream, const std::string& VersionTag)
{
    // Each record holds at least its class index and the graphic-object record.
    const uint32_t n = Stream.ReadCount(2 + 6, "source blocks");
    for (uint32_t i = 0; i < n; ++i) {
        const int16_t index = Stream.ReadInt16();
        const TGraphicClass& cls = ClassForRecord(index, "LoadBlocksFromStream");
        std::unique_ptr<TGraphicObject> obj = ReadRecord(cls, Stream, VersionTag, "LoadBlocksFromStream");
        std::unique_ptr<TSourceBlock2D> block(dynamic_cast<TSourceBlock2D*>(obj.get()));
        if (!block)
            throw ECADFileNotValid("TQVCmp.LoadBlocksFromStream: Object of class " + std::string(obj->ClassName()) +
                                   " is not a source block");
        static_cast<void>(obj.release());
        try {
            auto blocks = SourceBlocks.GetIterator();
            ResolveBlockReferences(*block, blocks);
        } catch (const ECADListObjNotFound&) {
            ShowReaderMessage(MsgSourceBlockNotFound);
            continue;
        }
        AddSourceBlock(std::move(block));
    }
}

void TQV_01Cmp2D::LoadObjectsFromStream(TStreamReader& Stream, const std::string& VersionTag)
{
    auto blocks = SourceBlocks.GetExclusiveIterator();
    // The count is that of the objects the drawing held when it was written; fewer records may
    // follow, ended by index -1. Nothing is allocated by it.
    int32_t n = Stream.ReadInt32();
    const uint8_t step = n > 0 ? static_cast<uint8_t>(100 / n) : 0;
    while (n > 0) {
        const int16_t index = Stream.ReadInt16();
        if (index == EndOfObjects)
            break;
        --n;
        const TGraphicClass& cls = ClassForRecord(index, "LoadObjectsFromStream");
        std::unique_ptr<TGraphicObject> obj = ReadRecord(cls, Stream, VersionTag, "LoadObjectsFromStream");
        if (OnLoadProgress)
            OnLoadProgress(*this, step);
        if (!dynamic_cast<TObject2D*>(obj.get())) {
            ShowReaderMessage(MsgNot2DObject);
            continue;
        }
        try {
            if (auto* container = dynamic_cast<TContainer2D*>(obj.get()))
                ResolveBlockReferences(*container, blocks);
            else if (auto* reference = dynamic_cast<TBlock2D*>(obj.get()))
                reference->UpdateReference(blocks);
        } catch (const ECADListObjNotFound&) {
            ShowReaderMessage(MsgSourceBlockNotFound);
            continue;
        }
        CurrentLayer = obj->Layer;
        TGraphicObject* added = AddObject(-1, std::move(obj));
        if (index == LabelClassIndex && OnDrawingLabelRead)
            OnDrawingLabelRead(*added);
        // The image read last is the one tracing works on.
        if (auto* image = dynamic_cast<TBitmap2D*>(added))
            CurrentBitmap = image;
    }
}
