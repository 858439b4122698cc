// What the sample game's update module needs of its system: a worker thread
// with a handle the launcher can wait on, and the module's own folder.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace sample {

// Starts `work` on a thread of its own. Answers the waitable handle that
// becomes ready once the worker has ended (0 when `with_handle` is false),
// or nothing when no thread could be started. The thread is the module's
// until it is unloaded.
std::optional<uint32_t> StartWorker(std::function<void()> work, bool with_handle);

// The folder of the module's file, with its trailing separator; empty when
// it cannot be found.
std::string ModuleFolder();

}  // namespace sample
