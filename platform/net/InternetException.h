#pragma once

#include <stdexcept>
#include <string>

namespace tolvar::net {

// Every failure of the HTTP layer (no connection, a timeout, a transfer cut
// short, a body too large) is raised as this one type, which each job catches.
class InternetException : public std::runtime_error
{
public:
    explicit InternetException(const std::string& what) : std::runtime_error(what) {}
};

} // namespace tolvar::net
