// How far a 3MF package's component objects expand, measured on its model XML before lib3mf
// reads it: lib3mf follows every path through the components while reading, so a few
// objects that each place the previous one twice make a file of a kilobyte take hours.
#pragma once

#include <string_view>

namespace vexmor::cli {

// Throws ReadError naming the file when the build items, with their components expanded,
// would place more than 1048576 objects or more than 2 GiB of mesh, or when components nest
// more than 32 deep, or when a model part does not decompress whole. A package that cannot be
// opened passes: lib3mf then says why.
void CheckComponentExpansion(std::string_view package, std::string_view path);

}  // namespace vexmor::cli
