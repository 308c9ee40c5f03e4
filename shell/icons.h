// The tool bar's pictures and the program's icon, drawn at run time so the program needs no image
// files.
#pragma once

#include <QIcon>
#include <QImage>

namespace tqc::shell {

enum class ToolIcon { Exit, Open, Save, Undo, Cut, Copy, Paste, FindError };

QIcon MakeToolIcon(ToolIcon which);
// The program's own icon (windows and the About box).
QIcon MakeAppIcon();
// The same picture at one size, square; needs no running application, so that the build can
// write the icon files of the desktop entry.
QImage RenderAppIcon(int size);

}  // namespace tqc::shell
