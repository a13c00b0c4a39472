#include "platform/dialog_file.h"

#include <QFileDialog>
#include <QStringList>

namespace kinemo::platform {

QString QtFileDialogService::Choose(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent, request.caption);
    const bool save = request.mode == FileDialogMode::kSave;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (!request.filter.isEmpty()) {
        dialog.setNameFilter(request.filter);
    }
    if (!request.defaultExtension.isEmpty()) {
        dialog.setDefaultSuffix(request.defaultExtension);
    }
    // A pattern as initial name only preselects the filter, never a file.
    const bool isPattern = request.initialName.contains(QLatin1Char('*')) ||
                           request.initialName.contains(QLatin1Char('?'));
    if (!request.initialName.isEmpty() && !isPattern) {
        dialog.selectFile(request.initialName);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.front();
}

}  // namespace kinemo::platform
