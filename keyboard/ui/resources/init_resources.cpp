#include <QtGlobal>

#include "keyboard/ui/resource_paths.h"

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitSpeechResources() {
    Q_INIT_RESOURCE(speech_resources);
}

namespace kinemo::keyboard::ui::resources {

void InitResources() {
    static const bool done = (InitSpeechResources(), true);
    (void)done;
}

}  // namespace kinemo::keyboard::ui::resources
