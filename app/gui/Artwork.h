#pragma once
// The application's pictures, drawn here with QPainter at first use and kept
// for the rest of the run: the toolbar icons, the 24-pixel file-kind icons of
// the list rows and the application icon of the about window. Transparency
// lives in the alpha channel, so no separate masks are needed.
#include <QIcon>
#include <QPixmap>

#include "app/core/FileKinds.h"

namespace artwork {

enum class ToolIcon { NewArchive, AddFile, AddFolder, DeleteFile, Extract };

QIcon Toolbar(ToolIcon which);
// A 24 x 24 icon for a list row of the given kind.
const QPixmap& FileKind(IconKind kind);
// The 128 x 128 application icon.
const QPixmap& Application();

}  // namespace artwork
