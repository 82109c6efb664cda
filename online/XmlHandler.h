#pragma once

#include <string>

namespace tolvar {

// Receives what XmlReader finds, in document order. Texts are valid for the
// duration of the call only.
class XmlHandler
{
public:
    // An element whose content holds at least one "<"; its content follows.
    virtual void OnNode(const std::string& name, const std::string& attributes) = 0;
    // An element without "<" in its content; value is the raw content.
    virtual void OnElement(const std::string& name, const std::string& value,
                           const std::string& attributes) = 0;
    virtual void OnEndDocument() = 0;

protected:
    ~XmlHandler() = default; // handlers are never deleted through this interface
};

} // namespace tolvar
