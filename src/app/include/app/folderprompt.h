#pragma once
// The folder prompt: a folder dialog with the caption "DATを展開したパスを指定:"
// (exactly that: the application's name is not appended to it), opening on
// the user's home folder, as the Windows shell's browse dialog opens on no
// particular folder.

#include <QFileDialog>
#include <memory>
#include <string>

namespace wbx {

// The dialog, not yet shown; parent may be null.
std::unique_ptr<QFileDialog> MakeFolderDialog(QWidget* parent, const std::string& caption);

// Shows it; true and the chosen folder, or false when the user cancelled.
bool ShowFolderPrompt(QWidget* parent, const std::string& caption, std::string& folder);

}  // namespace wbx
