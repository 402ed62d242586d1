// Handing the memory the program has freed back to the system before a library call.
#pragma once

namespace vexmor::cli {

// Reading and inspecting a part frees many mid-sized blocks that the C library keeps for
// reuse; a large call would otherwise peak with them still resident. Does nothing where the C
// library offers no way to do it.
void ReturnFreedMemory();

}  // namespace vexmor::cli
