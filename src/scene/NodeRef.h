// A non-owning link to a node that reads as null once the node has been destroyed.
//
// Nodes are owned by their parents and may go at any frame (an enemy dies, a projectile hits);
// whoever only looks at a node from elsewhere (an orbit camera following it, a tower aiming
// at it) holds a NodeRef instead of a plain pointer.
#pragma once

#include <memory>

namespace hm {

template <typename T> class NodeRef {
public:
    NodeRef() = default;
    NodeRef(T* node) : node_(node), token_(node ? node->lifetimeToken() : std::weak_ptr<const void>{}) {}

    T* get() const { return node_ && !token_.expired() ? node_ : nullptr; }
    T* operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }
    void reset() { *this = NodeRef(); }

private:
    T* node_ = nullptr;
    std::weak_ptr<const void> token_;
};

} // namespace hm
