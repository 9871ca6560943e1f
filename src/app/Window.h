// The one application window: GLFW window and OpenGL 4.3 core context, input dispatch,
// custom cursors and the game loop.
//
// The window owns the scene it runs. A scene asks for its successor with startGameLoop; the
// window finishes the current frame, destroys the old scene, empties the event lists (only
// general handlers survive) and starts the new scene.
//
// Right after its context exists the window makes the render device that owns every shared GPU
// object, and destroys it before the context goes. Several windows may live at once; closing
// one hands the GL context back to the newest one left, and GLFW ends with the last.
//
// A headless window (Window::headless) has no display, no GLFW and no GL context: a null
// render device stands in, so a scene loads and simulates as in play (physics, animation, rules,
// silent sound, the node tree) and draws nothing. Its owner drives the frames:
//
//     auto window = Window::headless(800, 800);
//     window->openScene(std::make_unique<LevelScene>(name)); // loads and starts the scene
//     while (window->advance(1.0f / 60.0f)) { ... }         // one frame per call
//
// Input can be fed through the dispatch* entry points as the GLFW callbacks would.
#pragma once

#include "app/FrameTimer.h"
#include "app/InputDispatcher.h"

#include <glm/vec2.hpp>

#include <functional>
#include <map>
#include <memory>
#include <string>

struct GLFWwindow;
struct GLFWmonitor;
struct GLFWcursor;
struct GLFWvidmode;

namespace hm {

class RenderDevice;
class Scene;
class SoundEngine;

// The size a new window asks for, and the monitor mode whose colour depth and refresh rate a
// borderless full screen takes over (null for any other window).
struct WindowRequest {
    int width = 0;
    int height = 0;
    const GLFWvidmode* mode = nullptr;
};

// A borderless full screen takes the monitor's current mode, which queryMode reads (it is asked
// only then). The query gives null when there is no monitor or its mode cannot be read: the
// window then opens at the configured size, with a warning.
WindowRequest chooseWindowRequest(bool fullscreen, bool borderless, int width, int height,
                                  const std::function<const GLFWvidmode*()>& queryMode);

class Window {
public:
    // Opens the window; throws std::runtime_error when GLFW, the window or GLEW fail.
    Window(const std::string& title, bool fullscreen, bool borderless, int width, int height,
           double brightness);
    // A window without display or GL context (see above); its framebuffer size is the one given.
    static std::unique_ptr<Window> headless(int width = 800, int height = 800, double brightness = 1.0);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    void registerInputHandler(InputHandler& handler);
    void unregisterInputHandler(InputHandler& handler);
    // A handler owned by the window that stays registered across scene switches.
    void addGeneralInputHandler(std::unique_ptr<InputHandler> handler);

    void registerCursor(const std::string& name, const std::string& file);
    void setCursor(const std::string& name);
    GLFWcursor* getCursor(const std::string& name) const;
    // The name of the cursor shown now; empty for the system's own.
    const std::string& cursorName() const { return cursorName_; }

    // Runs the scene's game loop, or schedules it as the successor of the running scene. A
    // headless window only opens the scene: its owner calls advance.
    void startGameLoop(std::unique_ptr<Scene> scene);
    void exitGameLoop();

    // Starts the scene as the current one without running the loop (the caller drives it with
    // advance). A running scene is replaced at once.
    void openScene(std::unique_ptr<Scene> scene);
    // One frame of the loop with the given elapsed seconds: update, render, sound listener, then
    // the switch to a successor scene if one was asked for. False when the loop has ended (exit
    // asked for, or no scene).
    bool advance(float elapsed);

    // Destroys the general handlers, terminates GLFW and logs the shutdown line. Called by the
    // program entry after the outermost loop has returned; the destructor does the rest.
    void shutdown();

    GLFWwindow* handle() const { return handle_; }
    bool isHeadless() const { return headless_; }
    RenderDevice& renderDevice() const { return *device_; }
    glm::ivec2 framebufferSize() const;
    double brightness() const { return brightness_; }
    // Created before GLFW and destroyed with the window, after GLFW has been terminated.
    SoundEngine& soundEngine() const { return *soundEngine_; }
    Scene* currentScene() const { return current_.get(); }
    bool exitRequested() const { return exitRequested_; }
    const InputDispatcher& input() const { return input_; }

    // The window whose loop is running, for the GLFW callbacks.
    static Window* current() { return current_window_; }

    // Event entry points, called by the GLFW callbacks (and by tests).
    void dispatchKey(int key, int scancode, int action, int mods);
    void dispatchScroll(double xOffset, double yOffset);
    void dispatchCursorPosition(double x, double y);
    void dispatchMouseButton(int button, int action, int mods);
    void dispatchJoystick(int joystickId, int event);
    void dispatchFramebufferSize(int width, int height);

private:
    struct Headless {};
    Window(Headless, int width, int height, double brightness);
    void runLoop();
    // Makes scene current and starts it.
    void beginScene(std::unique_ptr<Scene> scene);
    // Destroys the render device with the context current, then the GLFW window; GLFW ends
    // with the last window.
    void closeNativeWindow();

    static inline Window* current_window_ = nullptr;

    // First member, so it is destroyed last, after the scenes and GLFW are gone.
    std::unique_ptr<SoundEngine> soundEngine_;
    GLFWmonitor* monitor_ = nullptr;
    GLFWwindow* handle_ = nullptr;
    FrameTimer timer_;
    std::unique_ptr<Scene> current_;
    std::unique_ptr<Scene> pending_;
    bool exitRequested_ = false;
    bool terminated_ = false;
    std::map<std::string, GLFWcursor*> cursors_;
    std::string cursorName_;
    double brightness_ = 1.0;
    bool headless_ = false;
    glm::ivec2 headlessSize_{0, 0};
    // Made right after the context, destroyed before it.
    std::unique_ptr<RenderDevice> device_;
    InputDispatcher input_;
};

} // namespace hm
