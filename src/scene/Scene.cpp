#include "scene/Scene.h"

#include "app/Log.h"
#include "app/Window.h"

#include <GL/glew.h>

namespace hm {

Scene::Scene(std::string name) : name_(std::move(name)) {}

Scene::~Scene() { spdlog::debug("Destroyed scene {0}", name_); }

void Scene::start(Window& window) {
    window_ = &window;
    load();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    started_ = true;
}

void Scene::update(Window& window, float elapsed) { sceneTime_ += elapsed; }

void Scene::render(Window& window, float elapsed) {}

void Scene::updateListener() {}

void Scene::setAspectRatio(float ratio) { aspectRatio_ = ratio; }

} // namespace hm
