// The tool bar's pictures and the program's icon, drawn at run time so the program needs no image
// files.
#pragma once

#include <QIcon>

namespace tqc::shell {

enum class ToolIcon { Exit, Open, Save, Undo, Cut, Copy, Paste, FindError };

QIcon MakeToolIcon(ToolIcon which);
// The program's own icon (windows and the About box).
QIcon MakeAppIcon();

}  // namespace tqc::shell
