#pragma once
// DXF into the drawing: the header gives the version and the arc direction, the layer table
// gives drawing layers by position, the blocks section gives block definitions and every entity
// of the entities section becomes a drawing object. Also reads a file into a free container that
// is not part of the drawing (the tracer's result).
#include "QVDXF.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class TBlock2D;
class TContainer2D;
class TExpansionBudget;
class TFileWeights;
class TInsert;
class TMatrix4;
class TObject2D;
class TQV_01Cmp2D;
class TSourceBlock2D;
class TVectFont;

// The colour of each DXF colour index (ACI), as 0x00BBGGRR.
extern const std::array<int32_t, 256> ACIPalette;

// The text shown when an import ends early on a damaged or cut file; Read lists what was read
// before ("3 lines, 1 circle"), empty when nothing was.
std::string DXFImportErrorText(const std::string& Reason, const std::string& Read);

class TDXF2DImport {
public:
    // Opens the file; when it cannot be opened Failed is set and ErrorMessage says why, which
    // the reader has told the user unless TellUser is off.
    TDXF2DImport(const std::string& FileName, TQV_01Cmp2D* Drawing, bool TellUser = true);
    // The same over DXF text in memory.
    static std::unique_ptr<TDXF2DImport> FromText(std::string_view Text, TQV_01Cmp2D* Drawing);
    ~TDXF2DImport();
    TDXF2DImport(const TDXF2DImport&) = delete;
    TDXF2DImport& operator=(const TDXF2DImport&) = delete;

    // Called as the file is read, with the bytes read and the file's size.
    void SetProgress(std::function<void(uint64_t Done, uint64_t Total)> Progress);

    // Font of TEXT entities, not owned; without one TEXT entities are not read.
    void SetVectFont(TVectFont* Font) { VectFont = Font; }

    // Reads the whole file into the drawing. An error in the middle of the file, or a file that
    // ends inside a section or holds none, keeps what was read and leaves the reason in
    // ErrorMessage. When it is done, one warning (ReportText) tells the user of that and of what
    // was left out.
    void Import();
    // A new container of the file's entities, children numbered 0, 1, 2 ... in reading order,
    // not added to the drawing; null (and ErrorMessage set) when the file cannot be read whole.
    // Nothing is shown to the user.
    std::unique_ptr<TContainer2D> ImportAsContainer();

    // The warning after an import: the reason it ended early with what was read, the entity
    // kinds left out with their counts, the block references left out. Empty when all was read.
    std::string ReportText() const;
    // What was read, by the counters: "2 lines, 1 circle"; empty when nothing was.
    std::string ReadSummary() const;

    // Set when the file cannot be opened, when an entity gives no drawing object and when an
    // import ended early.
    bool Failed = false;
    std::string ErrorMessage;
    // Off: Import leaves the warning to the caller, who may tell the user otherwise.
    bool ShowReport = true;
    bool UseACIColors = true;
    double Scale = 1.0;
    double OffsetX = 0, OffsetY = 0, ScaleX = 1, ScaleY = 1;
    uint16_t Version = 10;
    bool CounterClockwise = true;
    // ELLIPSE by the rule of files before R13 ($ACADVER below AC1012): group 11 an absolute
    // point, group 40 the minor semi-axis. ELLIPSE exists only from R13 on, so files without
    // $ACADVER use the current rule.
    bool LegacyEllipses = false;

    struct TLayerName {
        std::string Name;
        uint8_t Layer;
    };
    // DXF layer names in the order of the layer table, with the drawing layer each went to.
    std::vector<TLayerName> LayerNames;

    uint32_t PointsCount = 0, LinesCount = 0, ArcsCount = 0, CirclesCount = 0, EllipsesCount = 0,
             PolylinesCount = 0, SplinesCount = 0, BlocksCount = 0, TextsCount = 0;

    // Left out by the import. Entities of kinds this program does not read, by their DXF name
    // (at most MaxSkippedKinds names; the rest are counted together).
    static constexpr size_t MaxSkippedKinds = 64;
    std::map<std::string, uint32_t> SkippedKinds;
    uint32_t OtherSkipped = 0;
    // Block references whose block was not read (anonymous, external) or is not in the file.
    uint32_t MissingBlockReferences = 0;
    // References that would make a block contain itself.
    uint32_t SelfReferences = 0;
    // References whose nested blocks would show more objects than the file's size allows.
    uint32_t NestingDroppedReferences = 0;
    // References left out because display and picking would walk too deep through them.
    uint32_t DeepReferences = 0;
    // Entities (block definitions included) left out for values that are not numbers, are
    // infinite or lie beyond DXFRealLimit, or that place them beyond it.
    uint32_t OutOfRangeEntities = 0;

private:
    TDXF2DImport() = default;
    void Setup(TQV_01Cmp2D* Drawing);

    // ---- sections ----
    void ReadHeader();
    void ReadTables();
    void ReadBlocks();
    void ReadEntities();
    void EntitiesToContainer(TContainer2D& Container, int32_t& NextID);
    // Reads the entities up to the section's end, placing each by M and handing it to Take;
    // an entity that gives no object sets Failed.
    void ReadSectionObjects(bool NoInserts, const TMatrix4& M, const std::function<void(std::unique_ptr<TObject2D>)>& Take);
    void AddLayer(const TDXFRecord& Entry);
    void LayerLookup(const TDXFValue& Name);
    bool SectionGoesOn() const;
    // Counters and what was left out back to nothing, for a new pass over the file.
    void ResetCounts();
    // The reason to give when the file ended inside a section or held none; empty otherwise.
    std::string CutFileReason() const;
    std::string ErrorWithCut(const std::string& Error) const;
    void CountSkipped(const std::string& Kind);

    // ---- blocks ----
    struct TPendingInsert {
        TInsert* Insert;  // owned by the block
        std::string Name;
    };
    struct TPendingBlock {
        std::unique_ptr<TSourceBlock2D> Block;
        std::vector<TPendingInsert> Inserts;
    };
    // A definition whose base point is out of range is read to its end and left out.
    std::unique_ptr<TSourceBlock2D> MakeSourceBlock(const TDXFRecord& Record,
                                                    std::vector<TPendingInsert>& Inserts, bool OutOfRange);
    // The block's 13-byte name, made unique among the drawing's definitions and those read.
    void UniqueBlockName(const std::string& Name, std::array<char, 13>& Out);
    bool BlockNameTaken(const std::array<char, 13>& Name);
    // Binds the nested references of the blocks read, drops those that name no block or would
    // make a block contain itself, and adds the blocks to the drawing, each after those it uses.
    void BindNestedInserts();
    TSourceBlock2D* FindBlock(const std::string& Name);

    // ---- entities ----
    std::unique_ptr<TObject2D> ReadEntity(bool NoInserts, bool InsertsAsTInsert);
    // The entity being read has given a value out of range: it is counted as left out.
    bool RefuseOutOfRange();
    std::unique_ptr<TObject2D> ReadPoint(const TDXFRecord& R);
    std::unique_ptr<TObject2D> ReadLine(const TDXFRecord& R);
    std::unique_ptr<TObject2D> ReadCircle(const TDXFRecord& R);
    std::unique_ptr<TObject2D> ReadArc(const TDXFRecord& R);
    std::unique_ptr<TObject2D> ReadEllipse(const TDXFRecord& R);
    std::unique_ptr<TObject2D> ReadTrace(const TDXFRecord& R);
    std::unique_ptr<TObject2D> ReadSolid(const TDXFRecord& R);
    std::unique_ptr<TObject2D> ReadText(const TDXFRecord& R);
    std::unique_ptr<TObject2D> ReadPolyline(const TDXFRecord& R);
    std::unique_ptr<TObject2D> ReadLWPolyline(bool AsLinesArcs);
    std::unique_ptr<TObject2D> ReadSpline();
    std::unique_ptr<TObject2D> ReadInsert(const TDXFRecord& R);
    std::unique_ptr<TObject2D> ReadNestedInsert(const TDXFRecord& R);

    std::unique_ptr<TDXFRead> Reader;
    TQV_01Cmp2D* Drawing = nullptr;  // not owned
    TVectFont* VectFont = nullptr;   // not owned
    TDXFRecord Record;               // the current entity or table entry
    TDXFRecord Vertex;               // a POLYLINE's vertices
    // The blocks read so far, added to the drawing once the section is done.
    std::vector<TPendingBlock> PendingBlocks;
    // The blocks of this file by their full DXF name, which may be longer than 13 bytes.
    std::unordered_map<std::string, TSourceBlock2D*> BlocksByName;
    // The 13-byte names in use: the drawing's and those given by this import.
    std::set<std::array<char, 13>> TakenNames;
    bool TakenNamesReady = false;
    // The last INSERT made inside a block, with the full name of the block it uses.
    TInsert* LastNestedInsert = nullptr;
    // The reader's count of values out of range when the current entity began.
    uint64_t EntityStartReals = 0;
    std::string LastNestedInsertName;
    // What all references of the file may show together; null until the file is open.
    std::unique_ptr<TExpansionBudget> Budget;
    // What its references weigh against it: the blocks of this file by what they hold.
    std::unique_ptr<TFileWeights> Weights;
    std::unordered_set<const TSourceBlock2D*> FileBlocks;
    // The drawing layer of each DXF layer name in small letters; the first entry of a name wins.
    std::unordered_map<std::string, uint8_t> LayersByName;
    // The last layer name looked up and its result; entities come in runs on one layer.
    std::string LastLayerName;
    // The walk over the file met an entities section.
    bool EntitiesSeen = false;
    int LastLayerIndex = -2;
};
