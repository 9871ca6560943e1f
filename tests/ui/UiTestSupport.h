// Pictures and scenes for the 2D layer's GL tests.
#pragma once

#include "app/Window.h"
#include "render/Material.h"
#include "render/Texture.h"
#include "scene/Scene.h"
#include "ui/Node2D.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <glm/gtc/type_precision.hpp>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace hm::test {

// A texture from RGBA bytes given top row first, as image files are uploaded.
class PixelTexture : public Texture {
public:
    PixelTexture(int width, int height, std::vector<std::uint8_t> rgba)
        : Texture("?pixels", TextureKind::File2D, parameters()), width_(width), height_(height),
          rgba_(std::move(rgba)) {}

    static TextureParameters parameters() {
        TextureParameters p;
        p.magFilter = TextureFilter::Nearest;
        p.minFilter = TextureFilter::Nearest;
        p.wrapS = TextureWrap::ClampToEdge;
        p.wrapT = TextureWrap::ClampToEdge;
        return p;
    }
    bool load() override {
        if (!createGLObject())
            return false;
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width_, height_, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba_.data());
        setSize(width_, height_);
        return true;
    }
    TextureTarget target() const override { return TextureTarget::Texture2D; }

private:
    int width_, height_;
    std::vector<std::uint8_t> rgba_;
};

// width x height texels, each row one colour, the rows given from the top.
inline std::shared_ptr<CanvasMaterial> stripedCanvas(const std::string& name, int width,
                                                     const std::vector<glm::u8vec4>& rows) {
    std::vector<std::uint8_t> rgba;
    for (const auto& row : rows)
        for (int x = 0; x < width; ++x)
            rgba.insert(rgba.end(), {row.r, row.g, row.b, row.a});
    auto texture = std::make_shared<PixelTexture>(width, static_cast<int>(rows.size()), std::move(rgba));
    EXPECT_TRUE(texture->load());
    auto material = std::make_shared<CanvasMaterial>(name);
    material->setShader("canvas");
    material->setTexture(0, texture);
    return material;
}

// A scene whose 2D root is built by the test; everything else is the scene's defaults.
class UiScene : public Scene {
public:
    explicit UiScene(std::function<void(Node2D&)> build) : Scene("ui"), build_(std::move(build)) {}
    void load() override {
        auto root = std::make_unique<Node2D>("root2D");
        if (build_)
            build_(*root);
        setRoot2D(std::move(root));
    }

private:
    std::function<void(Node2D&)> build_;
};

inline void resize(Window& window, int width, int height) {
    if (window.framebufferSize() == glm::ivec2(width, height))
        return;
    glfwSetWindowSize(window.handle(), width, height);
    for (int i = 0; i < 200 && window.framebufferSize() != glm::ivec2(width, height); ++i)
        glfwWaitEventsTimeout(0.01);
    ASSERT_EQ(window.framebufferSize(), glm::ivec2(width, height));
    glfwSwapBuffers(window.handle());
    glfwSwapBuffers(window.handle());
}

} // namespace hm::test
