#pragma once

#include <string>

namespace tolvar {

// LoadString: the text of a string resource, empty when there is none.
std::string LoadStringResource(int id);

} // namespace tolvar
