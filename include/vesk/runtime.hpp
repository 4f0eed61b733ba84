// Where the library runs.
//
// All SDK state lives on one main executor. A host with an event loop of its
// own hands it over with `setMainExecutor` before any other call into the
// library (the first one builds the process's library instance on the
// executor it finds); the facade's handlers are then called on that loop's
// thread, and the host calls the facade from there.
//
// A host that gives none gets a RunLoop on a thread the library owns: every
// facade call is then posted to that thread (the call returns at once) and
// handlers are called there.
//
// Data directory and stores: see key_value_store.hpp (`setDataDirectory`,
// `setKeyValueStoreFactory`); downloaded files: downloads.hpp; deployment
// values: configuration.hpp.
#pragma once

#include <memory>

#include "vesk/executor.hpp"

namespace vesk {

// Requires: called before the first use of the facade; later calls are ignored.
// The executor must keep running tasks for the life of the process.
void setMainExecutor(std::shared_ptr<Executor> executor);

// The executor the library runs on (building the process's library instance,
// and its own loop, when none was given).
std::shared_ptr<Executor> mainExecutor();

}  // namespace vesk
