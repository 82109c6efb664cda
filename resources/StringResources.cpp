#include "resources/StringResources.h"

namespace tolvar {

std::string LoadStringResource(int id)
{
    // The string table holds only these two; every other text is a literal
    // where it is used.
    switch (id) {
    case 101:
        return "&About ZyferV3...";
    case 103:
        return "Windows sockets initialization failed.";
    default:
        return {};
    }
}

} // namespace tolvar
