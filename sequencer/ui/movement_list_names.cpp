#include "sequencer/ui/movement_list_names.h"

namespace kinemo::ui {

QString RecordNameText(const engine::MovementRecord& record) {
    return QString::fromLatin1(engine::RecordName(record));
}

void SetRecordNameFromText(engine::MovementRecord& record, const QString& name) {
    const QByteArray bytes = name.left(static_cast<int>(engine::kMaxNameLength)).toLatin1();
    engine::SetRecordName(record, std::string_view(bytes.constData(), bytes.size()));
}

}  // namespace kinemo::ui
