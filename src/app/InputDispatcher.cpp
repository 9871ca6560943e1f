#include "app/InputDispatcher.h"

#include "app/Window.h"

#include <algorithm>

namespace hm {

InputHandler::~InputHandler() {
    if (window_)
        window_->unregisterInputHandler(*this);
}

InputDispatcher::~InputDispatcher() {
    destroyGeneral();
    forgetRegistered();
}

void InputDispatcher::forgetRegistered() {
    // Every registered handler is listed here, including those that subscribe to no event.
    for (InputHandler* handler : registered_)
        handler->window_ = nullptr;
    registered_.clear();
}

void InputDispatcher::add(InputHandler& handler) {
    handler.window_ = &window_;
    registered_.push_back(&handler);
    const bool wants[kInputEventCount] = {
        handler.wantsKey,         handler.wantsScroll,   handler.wantsCursorPosition,
        handler.wantsMouseButton, handler.wantsJoystick, handler.wantsFramebufferSize};
    for (std::size_t i = 0; i < kInputEventCount; ++i)
        if (wants[i])
            lists_[i].push_back(&handler);
}

void InputDispatcher::remove(InputHandler& handler) {
    for (auto& list : lists_) {
        if (depth_ > 0) {
            for (auto& entry : list)
                if (entry == &handler) {
                    entry = nullptr;
                    dirty_ = true;
                }
        } else {
            std::erase(list, &handler);
        }
    }
    std::erase(registered_, &handler);
    handler.window_ = nullptr;
    auto owned = std::find_if(general_.begin(), general_.end(), [&](auto& p) { return p.get() == &handler; });
    if (owned != general_.end()) {
        // The window owned it: destroy it, but not while one of its own callbacks may be running.
        retired_.push_back(std::move(*owned));
        general_.erase(owned);
        if (depth_ == 0)
            retired_.clear();
    }
}

void InputDispatcher::addGeneral(std::unique_ptr<InputHandler> handler) {
    if (!handler)
        return;
    add(*handler);
    general_.push_back(std::move(handler));
}

std::size_t InputDispatcher::destroyGeneral() {
    auto doomed = std::move(general_);
    general_.clear();
    for (auto& handler : doomed)
        remove(*handler);
    return doomed.size();
}

void InputDispatcher::resetToGeneral() {
    forgetRegistered();
    for (auto& list : lists_)
        list.clear();
    for (auto& handler : general_)
        add(*handler);
}

std::size_t InputDispatcher::count(InputEvent event) const {
    const auto& list = lists_[static_cast<std::size_t>(event)];
    return static_cast<std::size_t>(
        std::count_if(list.begin(), list.end(), [](auto* h) { return h != nullptr; }));
}

void InputDispatcher::sweep() {
    if (dirty_) {
        for (auto& list : lists_)
            std::erase(list, nullptr);
        dirty_ = false;
    }
    retired_.clear();
}

} // namespace hm
