#include "render/MeshNode.h"

#include "render/Material.h"
#include "render/Mesh.h"
#include "render/ShaderLocations.h"

#include <GL/glew.h>

#include <glm/gtc/type_ptr.hpp>

namespace hm {

MeshNode::MeshNode(std::string name, std::shared_ptr<Mesh> mesh, std::shared_ptr<Material> material)
    : Node3D(std::move(name)), mesh_(std::move(mesh)), material_(std::move(material)) {}

void MeshNode::render(float elapsed, int pass) {
    if (!mesh_)
        return;
    if (pass == 1) {
        if (!material_)
            return;
        material_->use();
    }
    applyDrawUniforms();
    mesh_->draw(pass, true);
}

void MeshNode::applyDrawUniforms() const {
    const glm::mat4 world = getWorldMatrix();
    glUniformMatrix4fv(shader::kModelMatrix, 1, GL_FALSE, glm::value_ptr(world));
}

float MeshNode::boundingRadius() const {
    return mesh_ ? mesh_->boundingRadius() : 0.0f;
}

} // namespace hm
