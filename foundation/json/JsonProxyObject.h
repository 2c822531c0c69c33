#pragma once

#include "platform/os/Value.h"

namespace foundation {

// A record that has no JSON form of its own but can stand in as a value the
// writer knows (usually a dictionary of its fields). Records inside values
// that implement it are written as the value they answer.
class JsonProxyObject : public platform::Object {
public:
    virtual platform::Value proxyForJson() const = 0;
};

} // namespace foundation
