#include "MapToolWindow.h"

#include <QCursor>
#include <QHBoxLayout>
#include <QPushButton>

#include "graphics/GraphicsArea.h"

namespace Velmora {
namespace Editors {

MapToolWindow::MapToolWindow(QWidget* parent, const QString& title, const QString& button, const QSize& size)
    : QDialog(parent, Qt::Tool)
{
    setWindowTitle(title);
    auto* layout = new QHBoxLayout(this);
    auto* end = new QPushButton(button, this);
    layout->addWidget(end);
    connect(end, &QPushButton::clicked, this, &QDialog::accept);
    resize(size);
    move(QCursor::pos());
}

void showStoredOutline(GraphicsArea* overlay, const QString& outlineText)
{
    if (!overlay)
        return;
    overlay->setPos(0, 0);
    overlay->setOutlineText(outlineText);
}

} // namespace Editors
} // namespace Velmora
