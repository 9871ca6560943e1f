#include "app/Window.h"

#include "app/InputCodes.h"
#include "app/Log.h"
#include "app/StopSignal.h"
#include "audio/SoundEngine.h"
#include "render/RenderDevice.h"
#include "scene/Scene.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <thread>
#include <vector>

namespace hm {

// Events pass through unchanged: the engine's input codes must be GLFW's.
static_assert(InputAction::Release == GLFW_RELEASE && InputAction::Press == GLFW_PRESS &&
              InputAction::Repeat == GLFW_REPEAT);
static_assert(MouseButton::Left == GLFW_MOUSE_BUTTON_LEFT && MouseButton::Right == GLFW_MOUSE_BUTTON_RIGHT &&
              MouseButton::Middle == GLFW_MOUSE_BUTTON_MIDDLE);
static_assert(Key::Space == GLFW_KEY_SPACE);
static_assert(Key::Escape == GLFW_KEY_ESCAPE);
static_assert(Key::Enter == GLFW_KEY_ENTER);
static_assert(Key::Tab == GLFW_KEY_TAB);
static_assert(Key::Backspace == GLFW_KEY_BACKSPACE);
static_assert(Key::Insert == GLFW_KEY_INSERT);
static_assert(Key::Delete == GLFW_KEY_DELETE);
static_assert(Key::Right == GLFW_KEY_RIGHT);
static_assert(Key::Left == GLFW_KEY_LEFT);
static_assert(Key::Down == GLFW_KEY_DOWN);
static_assert(Key::Up == GLFW_KEY_UP);
static_assert(Key::PageUp == GLFW_KEY_PAGE_UP);
static_assert(Key::PageDown == GLFW_KEY_PAGE_DOWN);
static_assert(Key::Home == GLFW_KEY_HOME);
static_assert(Key::End == GLFW_KEY_END);
static_assert(Key::KeypadDecimal == GLFW_KEY_KP_DECIMAL);
static_assert(Key::KeypadDivide == GLFW_KEY_KP_DIVIDE);
static_assert(Key::KeypadMultiply == GLFW_KEY_KP_MULTIPLY);
static_assert(Key::KeypadSubtract == GLFW_KEY_KP_SUBTRACT);
static_assert(Key::KeypadAdd == GLFW_KEY_KP_ADD);
static_assert(Key::KeypadEnter == GLFW_KEY_KP_ENTER);
static_assert(Key::LeftShift == GLFW_KEY_LEFT_SHIFT);
static_assert(Key::LeftControl == GLFW_KEY_LEFT_CONTROL);
static_assert(Key::LeftAlt == GLFW_KEY_LEFT_ALT);
static_assert(Key::RightShift == GLFW_KEY_RIGHT_SHIFT);
static_assert(Key::RightControl == GLFW_KEY_RIGHT_CONTROL);
static_assert(Key::RightAlt == GLFW_KEY_RIGHT_ALT);
static_assert(Key::Num0 == GLFW_KEY_0);
static_assert(Key::Keypad0 == GLFW_KEY_KP_0);
static_assert(Key::Num1 == GLFW_KEY_1);
static_assert(Key::Keypad1 == GLFW_KEY_KP_1);
static_assert(Key::Num2 == GLFW_KEY_2);
static_assert(Key::Keypad2 == GLFW_KEY_KP_2);
static_assert(Key::Num3 == GLFW_KEY_3);
static_assert(Key::Keypad3 == GLFW_KEY_KP_3);
static_assert(Key::Num4 == GLFW_KEY_4);
static_assert(Key::Keypad4 == GLFW_KEY_KP_4);
static_assert(Key::Num5 == GLFW_KEY_5);
static_assert(Key::Keypad5 == GLFW_KEY_KP_5);
static_assert(Key::Num6 == GLFW_KEY_6);
static_assert(Key::Keypad6 == GLFW_KEY_KP_6);
static_assert(Key::Num7 == GLFW_KEY_7);
static_assert(Key::Keypad7 == GLFW_KEY_KP_7);
static_assert(Key::Num8 == GLFW_KEY_8);
static_assert(Key::Keypad8 == GLFW_KEY_KP_8);
static_assert(Key::Num9 == GLFW_KEY_9);
static_assert(Key::Keypad9 == GLFW_KEY_KP_9);
static_assert(Key::A == GLFW_KEY_A);
static_assert(Key::B == GLFW_KEY_B);
static_assert(Key::C == GLFW_KEY_C);
static_assert(Key::D == GLFW_KEY_D);
static_assert(Key::E == GLFW_KEY_E);
static_assert(Key::F == GLFW_KEY_F);
static_assert(Key::G == GLFW_KEY_G);
static_assert(Key::H == GLFW_KEY_H);
static_assert(Key::I == GLFW_KEY_I);
static_assert(Key::J == GLFW_KEY_J);
static_assert(Key::K == GLFW_KEY_K);
static_assert(Key::L == GLFW_KEY_L);
static_assert(Key::M == GLFW_KEY_M);
static_assert(Key::N == GLFW_KEY_N);
static_assert(Key::O == GLFW_KEY_O);
static_assert(Key::P == GLFW_KEY_P);
static_assert(Key::Q == GLFW_KEY_Q);
static_assert(Key::R == GLFW_KEY_R);
static_assert(Key::S == GLFW_KEY_S);
static_assert(Key::T == GLFW_KEY_T);
static_assert(Key::U == GLFW_KEY_U);
static_assert(Key::V == GLFW_KEY_V);
static_assert(Key::W == GLFW_KEY_W);
static_assert(Key::X == GLFW_KEY_X);
static_assert(Key::Y == GLFW_KEY_Y);
static_assert(Key::Z == GLFW_KEY_Z);
static_assert(Key::F1 == GLFW_KEY_F1);
static_assert(Key::F2 == GLFW_KEY_F2);
static_assert(Key::F3 == GLFW_KEY_F3);
static_assert(Key::F4 == GLFW_KEY_F4);
static_assert(Key::F5 == GLFW_KEY_F5);
static_assert(Key::F6 == GLFW_KEY_F6);
static_assert(Key::F7 == GLFW_KEY_F7);
static_assert(Key::F8 == GLFW_KEY_F8);
static_assert(Key::F9 == GLFW_KEY_F9);
static_assert(Key::F10 == GLFW_KEY_F10);
static_assert(Key::F11 == GLFW_KEY_F11);
static_assert(Key::F12 == GLFW_KEY_F12);

namespace {

// Windows with a GLFW window, oldest first: the newest one left gets the context back when one
// closes, and GLFW ends with the last.
std::vector<Window*>& nativeWindows() {
    static std::vector<Window*> windows;
    return windows;
}

Window* windowOf(GLFWwindow* handle) {
    return static_cast<Window*>(glfwGetWindowUserPointer(handle));
}

void onGlfwError(int code, const char* description) {
    spdlog::error("GLFW error {0}: {1}", code, description);
}

void onFramebufferSizeCallback(GLFWwindow* handle, int width, int height) {
    if (Window* w = windowOf(handle))
        w->dispatchFramebufferSize(width, height);
}
void onWindowCloseCallback(GLFWwindow* handle) {
    if (Window* w = windowOf(handle))
        w->exitGameLoop();
}
void onKeyCallback(GLFWwindow* handle, int key, int scancode, int action, int mods) {
    if (Window* w = windowOf(handle))
        w->dispatchKey(key, scancode, action, mods);
}
void onScrollCallback(GLFWwindow* handle, double x, double y) {
    if (Window* w = windowOf(handle))
        w->dispatchScroll(x, y);
}
void onCursorPositionCallback(GLFWwindow* handle, double x, double y) {
    if (Window* w = windowOf(handle))
        w->dispatchCursorPosition(x, y);
}
void onMouseButtonCallback(GLFWwindow* handle, int button, int action, int mods) {
    if (Window* w = windowOf(handle))
        w->dispatchMouseButton(button, action, mods);
}
void onJoystickCallback(int joystickId, int event) {
    if (Window* w = Window::current())
        w->dispatchJoystick(joystickId, event);
}

} // namespace

WindowRequest chooseWindowRequest(bool fullscreen, bool borderless, int width, int height,
                                  const std::function<const GLFWvidmode*()>& queryMode) {
    if (!fullscreen || !borderless)
        return {width, height, nullptr};
    const GLFWvidmode* mode = queryMode();
    if (!mode) {
        spdlog::warn("The monitor's video mode cannot be read; the borderless window opens at {0}x{1}.",
                     width, height);
        return {width, height, nullptr};
    }
    return {mode->width, mode->height, mode};
}

Window::Window(const std::string& title, bool fullscreen, bool borderless, int width, int height,
               double brightness)
    : timer_([] { return glfwGetTime(); },
             [](std::chrono::microseconds rest) { std::this_thread::sleep_for(rest); }),
      brightness_(brightness), input_(*this) {
    soundEngine_ = std::make_unique<SoundEngine>();
    glfwSetErrorCallback(onGlfwError);
    if (!glfwInit())
        throw std::runtime_error("Error initializing GLFW-Framework");

    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);

    if (fullscreen)
        monitor_ = glfwGetPrimaryMonitor();
    const WindowRequest request = chooseWindowRequest(fullscreen, borderless, width, height, [this] {
        return monitor_ ? glfwGetVideoMode(monitor_) : nullptr;
    });
    if (request.mode) {
        glfwWindowHint(GLFW_RED_BITS, request.mode->redBits);
        glfwWindowHint(GLFW_GREEN_BITS, request.mode->greenBits);
        glfwWindowHint(GLFW_BLUE_BITS, request.mode->blueBits);
        glfwWindowHint(GLFW_REFRESH_RATE, request.mode->refreshRate);
    }
    handle_ = glfwCreateWindow(request.width, request.height, title.c_str(), monitor_, nullptr);
    if (!handle_) {
        glfwTerminate();
        throw std::runtime_error("GLFW-Window could not be created");
    }
    glfwSetWindowUserPointer(handle_, this);
    glfwSetFramebufferSizeCallback(handle_, onFramebufferSizeCallback);
    glfwSetWindowCloseCallback(handle_, onWindowCloseCallback);
    glfwSetKeyCallback(handle_, onKeyCallback);
    glfwSetScrollCallback(handle_, onScrollCallback);
    glfwSetCursorPosCallback(handle_, onCursorPositionCallback);
    glfwSetMouseButtonCallback(handle_, onMouseButtonCallback);
    glfwSetJoystickCallback(onJoystickCallback);

    glfwMakeContextCurrent(handle_);
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK) {
        glfwDestroyWindow(handle_);
        glfwTerminate();
        throw std::runtime_error("GLEW could not be initialized");
    }
    // glewInit may leave a harmless GL_INVALID_ENUM behind on core profiles.
    while (glGetError() != GL_NO_ERROR) {
    }
    nativeWindows().push_back(this);
    device_ = std::make_unique<RenderDevice>(RenderDevice::Kind::OpenGL);
}

Window::Window(Headless, int width, int height, double brightness)
    : timer_([] { return 0.0; }, [](std::chrono::microseconds) {}), brightness_(brightness), input_(*this) {
    soundEngine_ = std::make_unique<SoundEngine>();
    headless_ = true;
    headlessSize_ = {std::max(width, 0), std::max(height, 0)};
    device_ = std::make_unique<RenderDevice>(RenderDevice::Kind::Null);
}

std::unique_ptr<Window> Window::headless(int width, int height, double brightness) {
    return std::unique_ptr<Window>(new Window(Headless{}, width, height, brightness));
}

Window::~Window() {
    // Scenes and handlers may still talk to the window while they go.
    pending_.reset();
    current_.reset();
    input_.destroyGeneral();
    closeNativeWindow();
    device_.reset();
    if (current_window_ == this)
        current_window_ = nullptr;
}

void Window::closeNativeWindow() {
    if (!handle_)
        return;
    // GPU objects are deleted in their own context.
    glfwMakeContextCurrent(handle_);
    device_.reset();
    for (auto& [name, cursor] : cursors_)
        glfwDestroyCursor(cursor);
    cursors_.clear();
    glfwDestroyWindow(handle_);
    handle_ = nullptr;
    auto& windows = nativeWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
    if (windows.empty())
        glfwTerminate();
    else
        glfwMakeContextCurrent(windows.back()->handle_);
}

void Window::shutdown() {
    const std::size_t destroyed = input_.destroyGeneral();
    closeNativeWindow();
    terminated_ = true;
    spdlog::info("Window deconstruction: glfw terminated, and {0} general input handlers destroyed",
                 destroyed);
}

glm::ivec2 Window::framebufferSize() const {
    if (headless_)
        return headlessSize_;
    glm::ivec2 size{0, 0};
    if (handle_)
        glfwGetFramebufferSize(handle_, &size.x, &size.y);
    return size;
}

void Window::registerInputHandler(InputHandler& handler) {
    input_.add(handler);
    if (handler.wantsFramebufferSize) {
        const glm::ivec2 size = framebufferSize();
        handler.onFramebufferSize(*this, size.x, size.y);
    }
}

void Window::unregisterInputHandler(InputHandler& handler) {
    input_.remove(handler);
}

void Window::addGeneralInputHandler(std::unique_ptr<InputHandler> handler) {
    if (!handler)
        return;
    InputHandler& ref = *handler;
    input_.addGeneral(std::move(handler));
    if (ref.wantsFramebufferSize) {
        const glm::ivec2 size = framebufferSize();
        ref.onFramebufferSize(*this, size.x, size.y);
    }
}

void Window::registerCursor(const std::string& name, const std::string& file) {
    if (!handle_)
        return;
    const std::string path = "GAME_DATA/textures/" + file;
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load(path.c_str(), &width, &height, &channels, 4);
    if (!pixels) {
        spdlog::error("Failed to load custom cursor file with stbi {0}", path);
        return;
    }
    GLFWimage image{width, height, pixels};
    GLFWcursor* cursor = glfwCreateCursor(&image, 0, 0);
    stbi_image_free(pixels);
    if (!cursor) {
        spdlog::error("Failed to create custom cursor with file {0}", path);
        return;
    }
    if (auto it = cursors_.find(name); it != cursors_.end())
        glfwDestroyCursor(it->second);
    cursors_[name] = cursor;
}

void Window::setCursor(const std::string& name) {
    if (!handle_)
        return;
    if (name.empty()) {
        glfwSetCursor(handle_, nullptr);
        cursorName_.clear();
        return;
    }
    GLFWcursor* cursor = getCursor(name);
    if (!cursor) {
        spdlog::error("The requested cursor by the name {0} is not stored in the stash.", name);
        return;
    }
    glfwSetCursor(handle_, cursor);
    cursorName_ = name;
}

GLFWcursor* Window::getCursor(const std::string& name) const {
    auto it = cursors_.find(name);
    return it == cursors_.end() ? nullptr : it->second;
}

void Window::exitGameLoop() {
    if (!current_)
        spdlog::warn("An attempt of exiting the game loop was done even though none is currently running.");
    exitRequested_ = true;
}

void Window::startGameLoop(std::unique_ptr<Scene> scene) {
    if (!scene) {
        spdlog::error("No scene specified to render in this opengl window.");
        return;
    }
    if (scene.get() == current_.get()) {
        spdlog::error(
            "The given scene {0} is currently running. I will ignore your bidding of starting it as a "
            "new scene.",
            scene->name());
        // The caller handed us the scene we already own; give up the second owner quietly.
        (void)scene.release();
        return;
    }
    if (current_) {
        pending_ = std::move(scene);
        exitRequested_ = true;
        return;
    }
    if (headless_) {
        beginScene(std::move(scene));
        return;
    }

    // Nested loops of successive scenes would grow the call stack with every switch; a flat loop
    // runs them one after another with the same observable order.
    std::unique_ptr<Scene> next = std::move(scene);
    while (next) {
        beginScene(std::move(next));
        runLoop();
        spdlog::debug("End of gameloop for scene {0}", current_->name());
        current_.reset();
        spdlog::debug("After scene destruction");
        input_.resetToGeneral();
        next = std::move(pending_);
    }
}

void Window::beginScene(std::unique_ptr<Scene> scene) {
    pending_.reset();
    current_ = std::move(scene);
    current_window_ = this;
    current_->start(*this);
    const glm::ivec2 size = framebufferSize();
    if (size.y > 0)
        current_->setAspectRatio(static_cast<float>(size.x) / static_cast<float>(size.y));
    exitRequested_ = false;
    spdlog::info("Starting gameloop of scene {0}", current_->name());
}

void Window::openScene(std::unique_ptr<Scene> scene) {
    if (!scene) {
        spdlog::error("No scene specified to render in this opengl window.");
        return;
    }
    if (current_) {
        current_.reset();
        input_.resetToGeneral();
    }
    beginScene(std::move(scene));
}

bool Window::advance(float elapsed) {
    // After an exit request the current scene goes and the pending one, if any, starts. Input
    // fed between frames may have asked for that too.
    const auto endRequestedLoop = [this] {
        if (!exitRequested_ || !current_)
            return;
        spdlog::debug("End of gameloop for scene {0}", current_->name());
        current_.reset();
        input_.resetToGeneral();
        if (pending_)
            beginScene(std::move(pending_));
    };
    endRequestedLoop();
    if (!current_)
        return false;
    current_->update(*this, elapsed);
    current_->render(*this, elapsed);
    current_->updateListener(*soundEngine_);
    if (handle_) {
        glfwSwapBuffers(handle_);
        glfwPollEvents();
    }
    if (stopSignalReceived()) {
        pending_.reset();
        exitRequested_ = true;
    }
    endRequestedLoop();
    return current_ != nullptr;
}

void Window::runLoop() {
    timer_.reset();
    float elapsed = 0.0f;
    while (!exitRequested_) {
        current_->update(*this, elapsed);
        current_->render(*this, elapsed);
        current_->updateListener(*soundEngine_);
        glfwSwapBuffers(handle_);
        glfwPollEvents();
        if (stopSignalReceived()) {
            pending_.reset();
            exitRequested_ = true;
        }
        elapsed = timer_.tick();
    }
}

void Window::dispatchKey(int key, int scancode, int action, int mods) {
    if (action == GLFW_PRESS)
        spdlog::debug("Keyboard Key {0} pushed", key);
    else if (action == GLFW_RELEASE)
        spdlog::debug("Keyboard Key {0} released", key);
    input_.dispatch(InputEvent::Key, [&](InputHandler& h) { h.onKey(*this, key, scancode, action, mods); });
}

void Window::dispatchScroll(double xOffset, double yOffset) {
    input_.dispatch(InputEvent::Scroll, [&](InputHandler& h) { h.onScroll(*this, xOffset, yOffset); });
}

void Window::dispatchCursorPosition(double x, double y) {
    input_.dispatch(InputEvent::CursorPosition, [&](InputHandler& h) { h.onCursorPosition(*this, x, y); });
}

void Window::dispatchMouseButton(int button, int action, int mods) {
    input_.dispatch(InputEvent::MouseButton,
                    [&](InputHandler& h) { h.onMouseButton(*this, button, action, mods); });
}

void Window::dispatchJoystick(int joystickId, int event) {
    if (event == GLFW_CONNECTED) {
        const char* name = handle_ ? glfwGetJoystickName(joystickId) : nullptr;
        spdlog::debug("Joystick with ID {0} connected ('{1}')", joystickId, name ? name : "");
    } else {
        spdlog::debug("Joystick with ID {0} disconnected", joystickId);
    }
    input_.dispatch(InputEvent::Joystick, [&](InputHandler& h) { h.onJoystick(*this, joystickId, event); });
}

void Window::dispatchFramebufferSize(int width, int height) {
    input_.dispatch(InputEvent::FramebufferSize,
                    [&](InputHandler& h) { h.onFramebufferSize(*this, width, height); });
    // A minimised window reports a height of 0; keep the last aspect ratio rather than hand the
    // cameras an infinite one.
    if (current_ && height > 0 && width > 0)
        current_->setAspectRatio(static_cast<float>(width) / static_cast<float>(height));
}

} // namespace hm
