#pragma once
// The read-only folders panel of the settings page: where drawings, G-code, post-processors,
// tool libraries and samples are looked for.
#include <QGroupBox>

#include <array>

class QLineEdit;
class TAppConfig;

class TAppConfDir : public QGroupBox {
public:
    // Built on the settings sheet, which owns it; captions from the tool window's language texts.
    TAppConfDir(QWidget* Sheet, const TAppConfig& Config);

    // Fills the edits with the drawing, G-code, post-processor, tool and sample folders.
    void ShowFolders();

    QString FolderText(int i) const;

private:
    const TAppConfig& Config;
    std::array<QLineEdit*, 5> Edits{};
};
