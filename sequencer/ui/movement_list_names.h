// Movement names between the dialog's texts and the records.
//
// Records hold names in an 8-bit character set, one byte per character, so
// that the 20 characters of the name edit always fit the 21-byte field. The
// dialog uses Latin-1: characters outside it are stored as "?".
#pragma once

#include <QString>

#include "sequencer/engine/movement_record.h"

namespace kinemo::ui {

QString RecordNameText(const engine::MovementRecord& record);
void SetRecordNameFromText(engine::MovementRecord& record, const QString& name);

}  // namespace kinemo::ui
