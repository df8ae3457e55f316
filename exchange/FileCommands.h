#pragma once
// The file commands of the main window without the window: open a drawing, a DXF file, an STL
// surface or a picture by its extension, merge a drawing, clear, save, the recent-files list and
// the layer settings file. The window answers the questions and shows the panels through
// TFileCommandsHost; message boxes go through MainWindow().
//
// An open that fails tells the user the file and the reason and leaves the drawing as it was
// before the command. A save that fails says why and keeps the old file and the old name.
#include "JobProgress.h"
#include "QVServices.h"
#include "QVTBase.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TBitmap32;
class TMemIniFile;
class TQV_01Cmp;
class TQV_01Cmp2D;
class TVecRasPlacement;

// The kind an open gives a name by its extension, any case; fkFailed for any other.
TFileKind OpenKindOfName(const std::string& FileName);
// The save format of a name's extension: 1 ".pnc", 2 ".dxf", 3 ".txt", 4 ".hgl", any case; else 0.
int IndiceExt(const std::string& FileName);

// The recently used files, newest first, at most ten, each name once.
class TRecentFiles {
public:
    static constexpr size_t MaxCount = 10;
    void Add(const std::string& FileName);
    const std::vector<std::string>& Items() const { return FItems; }
    // Section "MRURF": keys "File1" to "File10", newest first.
    void Load(const TMemIniFile& Ini);
    void Save(TMemIniFile& Ini) const;
    // Told after every Add and Load: the menu that shows the list follows it.
    std::function<void()> OnChanged;

private:
    std::vector<std::string> FItems;
};

// "Layers.ini" applied to the drawing's 256 layers: pen colour, pen width and name, with their
// defaults for missing keys; each layer's modified mark is then cleared. A missing file gives
// every layer its defaults.
void CaricaImpLayers(TQV_01Cmp& Drawing, const std::string& FileName, int32_t DefaultColor);
// Writes the pen colour, pen width and name of every modified layer into "Layers.ini" (FileName),
// keyed by the layer's number; the file's other keys stay. A failure raises EIniFileError.
void SaveLayerSettings(const TQV_01Cmp& Drawing, const std::string& FileName);
// "Layers.ini" in the data folder.
std::string LayersIniName();

// What the commands need of the main window and the tool window.
class TFileCommandsHost {
public:
    virtual ~TFileCommandsHost() = default;
    // The open dialog (drawing files only when merging) in Folder; empty when cancelled.
    virtual std::string AskOpenFileName(bool Merge, const std::string& Folder) = 0;
    // The save dialog, starting from Suggested; empty when cancelled.
    virtual std::string AskSaveFileName(const std::string& Suggested) = 0;
    // The clear question with its check box ("also the machining operations", checked at
    // first); true on Yes, with the check box's state.
    virtual bool AskClear(bool& DeleteOperations) = 0;
    // A new placement panel for Drawing on the tool window's placement sheet; the one before
    // goes. Owned by the host.
    virtual TVecRasPlacement& NewPlacementPanel(TQV_01Cmp2D& Drawing) = 0;
    virtual void SetCaption(const std::string& Caption) = 0;
    // The busy cursor on or off.
    virtual void SetBusy(bool Busy) = 0;
    // Where a long open, merge or save reports how far it is (in percent). A break the user
    // asks for there (EUserBreak) ends the command as a failed one, without a second message.
    virtual TJobProgress& Progress() = 0;
    // Stops the running drawing command.
    virtual void StopOperation() {}
    // Removes every machining operation.
    virtual void DeleteOperations() {}
    // After a clear: the view rebuilt, the geometry tree emptied.
    virtual void DrawingCleared() {}
    // After New emptied the drawing: the points-along chain emptied, the property panel hidden
    // and the geometry tree's root back.
    virtual void DrawingRenewed() {}
    // Before a drawing or a surface is read: the property panel stops showing live values.
    virtual void LeavePropertyEntityMode() {}
    // After an open: the geometry tree expanded.
    virtual void DrawingOpened() {}
};

class TFileCommands {
public:
    TFileCommands(TQV_01Cmp2D& Drawing, TFileCommandsHost& Host);
    ~TFileCommands();
    TFileCommands(const TFileCommands&) = delete;
    TFileCommands& operator=(const TFileCommands&) = delete;

    // Opens FileName (asks for one when empty) into the drawing; with Merge adds a drawing
    // file's content and leaves the drawing without a name. True when the file was read.
    bool OpenGeo(std::string FileName, bool Merge);
    // Asks and clears the drawing; true when cleared.
    bool CancellatoTutto();
    // New: asks and clears a drawing that has objects.
    void New();
    // Save as (Save runs it too): asks for a name and writes the drawing file. True when written.
    bool SaveAs();
    // The opened picture can be traced: its image is still in the drawing and holds the
    // picture opened. Otherwise says so ("407") and answers false.
    bool CheckVectorize();

    TRecentFiles& RecentFiles() { return FRecentFiles; }
    // The untouched picture last opened; null when none (or after a clear).
    const TBitmap32* SourceBitmap() const { return FSourceBitmap.get(); }

private:
    void OpenByKind(TFileKind Kind, const std::string& FileName, bool Merge);
    void OpenNativeFile(const std::string& FileName, bool Merge);
    void OpenDxfFile(const std::string& FileName);
    void OpenSvgFile(const std::string& FileName);
    void OpenStlFile(const std::string& FileName);
    void OpenBitmapFile(const std::string& FileName, bool IsBmp);
    void ClearDrawing(bool DeleteOperations);
    // Percent of the job done: the host's progress begins at the first report of a command.
    void SetProgressPercent(int Percent);
    class TBusy;

    TQV_01Cmp2D& Drawing;
    TFileCommandsHost& Host;
    TRecentFiles FRecentFiles;
    // Shared with the image made from it until the image's pixels change.
    std::shared_ptr<const TBitmap32> FSourceBitmap;
    int LastPercent = -1;
    bool ProgressBegun = false;
};
