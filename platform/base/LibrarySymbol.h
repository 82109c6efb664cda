#pragma once

#include <dlfcn.h>

namespace tolvar {

// Points function at the symbol name of a library opened with dlopen; false
// (and null) when the library is not open or lacks the symbol.
template <typename F> bool FindSymbol(void* library, const char* name, F& function)
{
    function = library != nullptr ? reinterpret_cast<F>(dlsym(library, name)) : nullptr;
    return function != nullptr;
}

} // namespace tolvar
