#include "QVSceneWidget.h"

#include "QVLanguage.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QVBoxLayout>

TSceneWidget* CreateViewWidget(TQVScene& View, QWidget* Parent)
{
    auto* viewer = new TSceneWidget(Parent); // owned by Parent
    if (Parent) {
        auto* layout = qobject_cast<QVBoxLayout*>(Parent->layout());
        if (!layout && !Parent->layout()) {
            layout = new QVBoxLayout(Parent); // owned by Parent
            layout->setContentsMargins(0, 0, 0, 0);
        }
        if (layout)
            layout->addWidget(viewer);
    }
    viewer->setCursor(Qt::CrossCursor);
    viewer->setMouseTracking(true);
    viewer->SetScene(View.Scene.get());
    viewer->SetCamera(View.Camera);
    View.AttachViewer(viewer);
    QObject::connect(viewer, &QObject::destroyed, [&View, viewer] {
        if (View.Viewer == viewer)
            View.AttachViewer(nullptr);
    });
    View.AskDenseGrid = [viewer] {
        const QString caption = QString::fromStdString(GetLangString(450));
        const QString text = QString::fromStdString(GetLangString(435));
        return QMessageBox::warning(viewer, caption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    View.OnShowBusy = [](bool Busy) {
        if (Busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        } else {
            QApplication::restoreOverrideCursor();
        }
    };
    return viewer;
}
