#pragma once

namespace vk {

// Ends the process with `status` after flushing standard output. Static
// destruction is skipped on purpose: the singletons own threads that a run mode
// may leave running, and destroying a running std::thread aborts the program.
[[noreturn]] void EndProcess(int status);

} // namespace vk
