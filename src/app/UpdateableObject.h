// Something that advances once per frame by the elapsed time in seconds.
#pragma once

namespace hm {

class UpdateableObject {
public:
    virtual ~UpdateableObject() = default;
    virtual void update(float elapsed) = 0;
};

} // namespace hm
