#pragma once
// The layer dialog (TfrmLayer): a table of the drawing's 256 layers in which the user makes a
// layer current, renames it, shows or hides it and opens the attribute dialog (TfrmLayerAttr)
// for its pen colour and width. Every change acts on the drawing at once; Cancel, Esc and the
// close box put back all 256 layers and the current layer as they were when the dialog showed.
// "Save settings" writes the modified layers to "Layers.ini". Tpenwidthcombo is the drop-down of
// pen widths 1 to 10 with a sample line each.
#include "QVTBase.h"

#include <QComboBox>
#include <QDialog>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace Ui {
class TfrmLayer;
class TfrmLayerAttr;
} // namespace Ui
class TfrmMain;
class TGeoTree;
class TQV_01Cmp;

class Tpenwidthcombo : public QComboBox {
public:
    explicit Tpenwidthcombo(QWidget* Parent = nullptr);
    // Item i stands for width i + 1.
    int32_t Width() const { return currentIndex() + 1; }
    void SetWidth(int32_t W) { setCurrentIndex(W - 1); }
};

class TfrmLayerAttr : public QDialog {
public:
    explicit TfrmLayerAttr(QWidget* Parent);
    ~TfrmLayerAttr() override;

    // Shows the colour and width of Layer; on OK the layer takes the chosen ones. True for OK.
    bool Execute(TQV_01Cmp& Drawing, uint8_t Layer, const QString& Caption, const QString& GroupCaption);

private:
    std::unique_ptr<Ui::TfrmLayerAttr> ui;
};

class TfrmLayer : public QDialog {
public:
    // Drawing and tree are the program's; Tree may be null (no geometry page).
    TfrmLayer(TfrmMain& Main, TQV_01Cmp& Drawing, TGeoTree* Tree);
    ~TfrmLayer() override;
    TfrmLayer(const TfrmLayer&) = delete;
    TfrmLayer& operator=(const TfrmLayer&) = delete;

    // The attribute dialog, which the table opens for the colour and width columns.
    TfrmLayerAttr& AttrDialog() { return *FAttr; }

protected:
    void showEvent(QShowEvent* Event) override;
    void done(int Result) override;

private:
    void FormShow();
    void StringGrid1SelectCell(int Row, int Column);
    void StringGrid1SetEditText(int Row, const QString& Text);
    void btnSaveSettingsClick();
    // Cancel: every layer and the current layer as they were at the show.
    void Restore();

    std::unique_ptr<Ui::TfrmLayer> ui;
    TfrmMain& Main;
    TQV_01Cmp& Drawing;
    TGeoTree* Tree;
    TfrmLayerAttr* FAttr;
    std::array<TLayerRec, 256> FSaved;
    uint16_t FSavedCurrent = 0;
    // The selected layer, -1 for none.
    int FSelected = -1;
    bool FFilling = false;
};
