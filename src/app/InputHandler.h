// Receiver of window input events.
//
// A handler sets the subscription flags of the events it wants before it is registered with
// a Window; the window then calls the matching operations in registration order. A handler
// that is destroyed while registered unregisters itself.
#pragma once

namespace hm {

class Window;

class InputHandler {
public:
    InputHandler() = default;
    InputHandler(const InputHandler&) = delete;
    InputHandler& operator=(const InputHandler&) = delete;
    virtual ~InputHandler();

    virtual void onKey(Window& window, int key, int scancode, int action, int mods) {}
    virtual void onScroll(Window& window, double xOffset, double yOffset) {}
    virtual void onCursorPosition(Window& window, double x, double y) {}
    virtual void onMouseButton(Window& window, int button, int action, int mods) {}
    virtual void onJoystick(Window& window, int joystickId, int event) {}
    virtual void onFramebufferSize(Window& window, int width, int height) {}

    // The window this handler is registered with, or null.
    Window* registeredWindow() const { return window_; }

    bool wantsKey = false;
    bool wantsScroll = false;
    bool wantsCursorPosition = false;
    bool wantsMouseButton = false;
    bool wantsJoystick = false;
    bool wantsFramebufferSize = false;

private:
    friend class InputDispatcher;
    Window* window_ = nullptr;
};

} // namespace hm
