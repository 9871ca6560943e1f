// A samples-passed query: how many samples of the draws between begin() and end() passed the
// depth test. Results arrive some frames later; poll with resultReady(). The GL query object is
// made on the first begin(), so a query can be built where there is no GPU.
#pragma once

#include "render/GLHandle.h"

#include <cstdint>

namespace hm {

class OcclusionQuery {
public:
    void begin();
    void end();
    // True once a begun query has its result; false for a query never begun.
    bool resultReady() const;
    // The samples counted; waits for the result when it is not ready.
    std::uint32_t samples() const;
    bool begun() const { return static_cast<bool>(handle_); }

private:
    QueryHandle handle_;
};

} // namespace hm
