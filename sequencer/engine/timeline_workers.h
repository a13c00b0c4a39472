// A persistent helper thread that shares row computations with the caller.
//
// The helper is started once, on first use, and lives as long as the process;
// a computation then only hands out row numbers and allocates nothing.
#pragma once

namespace kinemo::engine {

using RowTask = void (*)(int row, void* context);

// Runs task(row, context) for rows 0..rowCount-1, each exactly once, on the
// calling thread and the helper; returns when all have finished. Concurrent
// callers are served one after the other. Without a helper thread (it could
// not be started) every row runs on the calling thread.
void RunRowsInParallel(int rowCount, RowTask task, void* context);

}  // namespace kinemo::engine
