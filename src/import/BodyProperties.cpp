#include "import/BodyProperties.h"

#include "app/Log.h"
#include "import/ModelImporter.h"
#include "import/NodeProperties.h"
#include "physics/PhysicsBody.h"
#include "physics/PhysicsWorld.h"
#include "render/Mesh.h"
#include "render/MeshNode.h"
#include "scene/Node3D.h"

#include <assimp/scene.h>

#include <cmath>

namespace hm {

namespace {

template <typename T> bool get(const aiMetadata& metadata, const char* key, T& value) {
    return metadata.Get(std::string(key), value);
}

bool hasKey(const aiMetadata& metadata, const char* key) {
    for (unsigned i = 0; i < metadata.mNumProperties; ++i)
        if (metadata.mKeys[i] == aiString(key))
            return true;
    return false;
}

glm::vec3 vec(const aiVector3D& v) {
    return {v.x, v.y, v.z};
}

// On unless the value says off; a value of a type that cannot say it also means on.
bool readGravity(const aiMetadata& metadata) {
    bool b = true;
    std::int32_t i = 1;
    std::uint64_t u = 1;
    if (get(metadata, "Gravity", b))
        return b;
    if (get(metadata, "Gravity", i))
        return (i & 0xff) != 0;
    if (get(metadata, "Gravity", u))
        return (u & 0xff) != 0;
    return true;
}

const PhysicsMaterial* readMaterial(const aiMetadata& metadata, const std::string& nodeName) {
    auto& materials = PhysicsWorld::instance().materials();
    aiString name;
    aiVector3D values;
    if (get(metadata, "BodyMaterial", name)) {
        if (const PhysicsMaterial* material = materials.getPhysicsMaterial(name.C_Str()))
            return material;
        spdlog::warn("Unknown physics material {0} for node {1}; using Default.", name.C_Str(), nodeName);
        return nullptr;
    }
    if (get(metadata, "BodyMaterial", values))
        return materials.createPhysicsMaterial(values.x, values.y, values.z);
    return nullptr;
}

const Mesh* meshOf(const Node3D& node) {
    if (!node.hasMesh())
        return nullptr;
    const auto* meshNode = dynamic_cast<const MeshNode*>(&node);
    return meshNode ? meshNode->mesh().get() : nullptr;
}

glm::ivec3 locks(const aiMetadata& metadata, const char* key) {
    aiVector3D v;
    if (!get(metadata, key, v))
        return glm::ivec3(0);
    // Only whether the truncated value is zero matters; a value beyond any integer is simply
    // non-zero, never converted (that conversion has no defined result).
    auto truncate = [](float f) { return std::isfinite(f) && std::trunc(f) != 0.0f ? 1 : 0; };
    return {truncate(v.x), truncate(v.y), truncate(v.z)};
}

} // namespace

void readBodyProperties(ModelImporter& importer, Node3D& node, const aiNode& fileNode,
                        const aiScene& fileScene) {
    const aiMetadata* metadata = fileNode.mMetaData;
    aiString bodyKind;
    if (!metadata || !get(*metadata, "Body", bodyKind))
        return;
    const std::string& name = node.getName();
    const std::string kind = bodyKind.C_Str();

    std::int32_t actorValue = 0;
    get(*metadata, "ActorType", actorValue);
    if (actorValue < 0 || actorValue > 2) {
        spdlog::warn("Unknown ActorType {0} for node {1}; the body is static.", actorValue, name);
        actorValue = 0;
    }
    const auto actor = static_cast<ActorType>(actorValue);
    const bool gravity = readGravity(*metadata);
    const PhysicsMaterial* material =
        hasKey(*metadata, "BodyMaterial") ? readMaterial(*metadata, name) : nullptr;
    aiString bufferName;
    get(*metadata, "BodyBufferFile", bufferName);
    std::int32_t orientation = importer.upAxis();
    get(*metadata, "BodyOrientation", orientation);
    float density = 1.0f, mass = -1.0f;
    get(*metadata, "Density", density);
    get(*metadata, "Mass", mass);
    aiVector3D centreOfMass, inertia(-1.0f, -1.0f, -1.0f);
    const bool hasCentreOfMass = get(*metadata, "CenterOfMass", centreOfMass);
    get(*metadata, "MassSpaceInertiaTensor", inertia);

    float radius = 0.0f, height = 0.0f;
    const bool hasRadius = get(*metadata, "BodyRadius", radius);
    const bool hasHeight = get(*metadata, "BodyHeight", height);
    aiVector3D boxSize;
    const bool hasBoxSize = get(*metadata, "BodyBoxSize", boxSize);
    const Mesh* mesh = meshOf(node);

    std::unique_ptr<PhysicsBody> body;
    if (kind == "BoundingSphere") {
        if (hasRadius)
            body = std::make_unique<SphereBody>(actor, material, gravity, radius);
        else if (mesh)
            body = std::make_unique<SphereBody>(actor, material, gravity, mesh->boundingRadius());
        else
            spdlog::warn(
                "No BodyRadius-data or Mesh available to create BoundingSphere-Collider for node {0}", name);
    } else if (kind == "BoundingBox") {
        if (hasBoxSize)
            body = std::make_unique<BoxBody>(actor, material, gravity, vec(boxSize));
        else if (mesh)
            body = std::make_unique<BoxBody>(actor, material, gravity, mesh->boundingBoxSize());
        else
            spdlog::warn("No BodyBoxSize-data or Mesh available to create BoundingBox-Collider for node {0}",
                         name);
    } else if (kind == "BoundingCapsule") {
        if (hasRadius && hasHeight) {
            body = std::make_unique<CapsuleBody>(actor, material, gravity, orientation, height, radius);
        } else if (mesh) {
            const glm::vec3 s = mesh->boundingBoxSize();
            const int a = s.y > s.x ? 1 : 0;
            int axis;
            float r;
            if (s.z > s[a]) {
                axis = 2;
                r = 0.5f * std::max(s.x, s.y);
            } else {
                axis = a;
                r = 0.5f * (a == 0 ? std::max(s.y, s.z) : std::max(s.x, s.z));
            }
            const float h = s[axis] - 2.0f * r;
            if (h < 0.001f) {
                spdlog::info(
                    "Since the side lengths of the aabb for mesh-node {0} are the same, I'm gonna create a "
                    "sphere collider instead of the requested capsule collider!",
                    name);
                body = std::make_unique<SphereBody>(actor, material, gravity, r);
            } else {
                body = std::make_unique<CapsuleBody>(actor, material, gravity, axis, h, r);
            }
        } else {
            spdlog::warn(
                "No BodyRadius and/or BodyHeight-data or Mesh available to create BoundingCapsule-Collider "
                "for node {0}",
                name);
        }
    } else if (kind == "Plane") {
        body = std::make_unique<PlaneBody>(orientation);
    } else if (kind == "Mesh" || kind == "ConvexHull") {
        std::vector<glm::vec3> positions;
        std::vector<std::uint32_t> indices;
        const bool wantsIndices = kind == "Mesh";
        if (readHullData(importer, fileNode, fileScene, positions, wantsIndices ? &indices : nullptr)) {
            if (wantsIndices) {
                body = std::make_unique<MeshBody>(actor, material, gravity, bufferName.C_Str(),
                                                  std::move(positions), std::move(indices), name);
            } else {
                std::int32_t maxVerts = 20;
                get(*metadata, "BodyMaxVerts", maxVerts);
                if (maxVerts < 4 || maxVerts > 255) {
                    spdlog::warn("BodyMaxVerts {0} for node {1} is out of range; using 20.", maxVerts, name);
                    maxVerts = 20;
                }
                body =
                    std::make_unique<ConvexHullBody>(actor, material, gravity, bufferName.C_Str(),
                                                     std::move(positions), static_cast<unsigned>(maxVerts));
            }
        }
    } else {
        spdlog::warn("Unknown body-property ({0}) set for node {1}.", kind, name);
    }
    if (!body)
        return;

    if (kind != "Plane" && kind != "BoundingCapsule")
        body->setOrientationMode(0);
    PhysicsBody& ref = *body;
    node.setBody(std::move(body));
    ref.setDensity(density);
    if (hasCentreOfMass)
        ref.setCentreOfMass(vec(centreOfMass));
    if (mass >= 0.0f)
        ref.setMass(mass);
    if (inertia.x >= 0.0f)
        ref.setInertia(vec(inertia));
    ref.setLinearLocks(locks(*metadata, "LockLinearAxis"));
    ref.setAngularLocks(locks(*metadata, "LockAngularAxis"));
}

} // namespace hm
