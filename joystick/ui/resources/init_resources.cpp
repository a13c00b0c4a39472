#include <QtGlobal>

#include "joystick/ui/resource_paths.h"

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitJoyResources() {
    Q_INIT_RESOURCE(joy_resources);
}

namespace kinemo::joy::ui::resources {

void InitResources() {
    static const bool done = (InitJoyResources(), true);
    (void)done;
}

}  // namespace kinemo::joy::ui::resources
