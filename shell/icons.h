// The tool bar's pictures, drawn at run time so the program needs no image files.
#pragma once

#include <QIcon>

namespace tqc::shell {

enum class ToolIcon { Exit, Open, Save, Undo, Cut, Copy, Paste, FindError };

QIcon MakeToolIcon(ToolIcon which);

}  // namespace tqc::shell
