// The six event lists of a window and the owned list of general handlers.
//
// Dispatch walks a list by index over the entries that existed when the event arrived.
// Unregistering while an event is being dispatched blanks the entries instead of erasing
// them, so no other handler is skipped or called twice and a handler destroyed by another
// handler's callback is never touched; blanks are swept once the outermost dispatch ends.
#pragma once

#include "app/InputHandler.h"

#include <array>
#include <memory>
#include <vector>

namespace hm {

enum class InputEvent { Key, Scroll, CursorPosition, MouseButton, Joystick, FramebufferSize };
inline constexpr std::size_t kInputEventCount = 6;

class InputDispatcher {
public:
    explicit InputDispatcher(Window& window) : window_(window) {}
    ~InputDispatcher();

    // Appends the handler to the list of every event it subscribes to; twice registered is
    // twice called.
    void add(InputHandler& handler);
    void remove(InputHandler& handler);

    // General handlers are owned here and registered again after every scene switch.
    void addGeneral(std::unique_ptr<InputHandler> handler);
    // Destroys every general handler and returns how many there were.
    std::size_t destroyGeneral();
    // Empties all six event lists, then registers the general handlers again.
    void resetToGeneral();

    std::size_t count(InputEvent event) const;

    template <typename Call> void dispatch(InputEvent event, Call&& call) {
        auto& list = lists_[static_cast<std::size_t>(event)];
        const std::size_t end = list.size();
        ++depth_;
        for (std::size_t i = 0; i < end && i < list.size(); ++i) {
            if (InputHandler* handler = list[i])
                call(*handler);
        }
        if (--depth_ == 0)
            sweep();
    }

private:
    void sweep();
    // Clears the window link of every registered handler and empties registered_.
    void forgetRegistered();

    Window& window_;
    std::array<std::vector<InputHandler*>, kInputEventCount> lists_;
    // Every handler add() was given, once per registration, whatever events it subscribes to.
    std::vector<InputHandler*> registered_;
    std::vector<std::unique_ptr<InputHandler>> general_;
    std::vector<std::unique_ptr<InputHandler>> retired_; // unregistered general handlers awaiting deletion
    int depth_ = 0;
    bool dirty_ = false;
};

} // namespace hm
