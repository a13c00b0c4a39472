// Open and save file dialogs behind an interface, so that windows can be
// driven by tests without ever blocking on a modal dialog.
#pragma once

#include <QString>

class QWidget;

namespace kinemo::platform {

enum class FileDialogMode { kOpen, kSave };

struct FileDialogRequest {
    FileDialogMode mode = FileDialogMode::kOpen;
    QString filter;            // one pattern, e.g. "*.kmo"
    QString defaultExtension;  // without the dot, appended to a name without one
    QString initialName;       // a pattern such as "*.kmo" preselects no file
    QString caption;           // empty: the platform's default caption
};

class FileDialogService {
  public:
    virtual ~FileDialogService() = default;
    // Shows the dialog modal to `parent`; returns the chosen path or an empty
    // string when the user cancelled. A save dialog asks before overwriting.
    virtual QString Choose(QWidget* parent, const FileDialogRequest& request) = 0;
};

// Real file dialogs.
class QtFileDialogService : public FileDialogService {
  public:
    QString Choose(QWidget* parent, const FileDialogRequest& request) override;
};

}  // namespace kinemo::platform
