#pragma once
// The tool window's pages of the offset, points-along, delete-small and drawing-report commands,
// built on their sheets when the window is made. Their controls carry the names the tasks read
// (txtOffsetDist, txtNumPtAlong ...); their handlers turn edits into the running task's changes.
#include <QObject>

#include <memory>

class QWidget;
class TViewPreview;
class TfrmToolWin;
struct TDrawingReport;

class TToolPages : public QObject {
public:
    explicit TToolPages(TfrmToolWin& Window);
    ~TToolPages() override;
    TToolPages(const TToolPages&) = delete;
    TToolPages& operator=(const TToolPages&) = delete;

    // A new report tree in grpInfoEnt in place of the last one.
    void ShowReport(const TDrawingReport& Report);
    // The pages' markers and previews in the view's highlight group (also the points-along
    // preview), made on the drawing's view at first use.
    TViewPreview* Highlight();
    // What the pages made for a command goes when the window hides.
    void Release();

private:
    void BuildOffset(QWidget* Sheet);
    void BuildPtAlong(QWidget* Sheet);
    void BuildDelSmall(QWidget* Sheet);
    void BuildInfo(QWidget* Sheet);
    void PtAlongChanged();
    void SmallEntities(bool Delete);

    TfrmToolWin& Window;
    std::unique_ptr<TViewPreview> Preview;
    QWidget* ReportTree = nullptr;
};
