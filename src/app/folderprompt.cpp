#include "app/folderprompt.h"

#include <QDir>

namespace wbx {

std::unique_ptr<QFileDialog> MakeFolderDialog(QWidget* parent, const std::string& caption) {
    auto dialog = std::make_unique<QFileDialog>(parent, QString::fromStdString(caption), QDir::homePath());
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    return dialog;
}

bool ShowFolderPrompt(QWidget* parent, const std::string& caption, std::string& folder) {
    const std::unique_ptr<QFileDialog> dialog = MakeFolderDialog(parent, caption);
    if (dialog->exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog->selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty()) return false;
    folder = chosen.front().toStdString();
    return true;
}

}  // namespace wbx
