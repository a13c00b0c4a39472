#include <QtGlobal>

#include "sequencer/ui/resource_paths.h"

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitKinemoResources() {
    Q_INIT_RESOURCE(kinemo_resources);
}

namespace kinemo::ui::resources {

void InitResources() {
    static const bool done = (InitKinemoResources(), true);
    (void)done;
}

}  // namespace kinemo::ui::resources
