// A node of the 2D interface tree drawn over the 3D world. Each scene owns one 2D root; the
// interface layer gives 2D nodes their placement, children, display mode and passes.
#pragma once

#include <string>

namespace hm {

class Node2D {
public:
    explicit Node2D(std::string name) : name_(std::move(name)) {}
    virtual ~Node2D() = default;
    const std::string& getName() const { return name_; }

private:
    std::string name_;
};

} // namespace hm
