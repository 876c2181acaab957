#pragma once

// Windows only: the pointers that window messages and a window's own data carry
// as integers.

#include <windows.h>

namespace plinth {

template <typename T>
T* PointerIn(LONG_PTR value) {
    return reinterpret_cast<T*>(value);  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace plinth
