#pragma once

#include <string_view>
#include <vector>

namespace orv {

// The SIMD code the byte kernels run is the best this processor has, unless
// a test asks for another: kernelTargets() names each one built in that the
// processor has, best first, and useKernelTarget(name) picks one (an
// unknown name, or "", the best again; names in any case). As a testing
// aid for the benchmarks, the environment variable ORV_SIMD_TARGET names
// the one to start with.
std::vector<std::string_view> kernelTargets();
void useKernelTarget(std::string_view name);

} // namespace orv
