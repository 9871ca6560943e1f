#include "import/ModelImporter.h"

#include "animation/Animation.h"
#include "animation/NodeAnimator.h"
#include "animation/RiggedMesh.h"
#include "animation/RiggedMeshNode.h"
#include "app/AssetLocations.h"
#include "app/Log.h"
#include "import/BodyProperties.h"
#include "import/Metadata.h"
#include "import/ModelLimits.h"
#include "import/NodeProperties.h"
#include "render/CameraNode.h"
#include "render/LightNode.h"
#include "render/Material.h"
#include "render/Mesh.h"
#include "render/MeshNode.h"
#include "render/OrbitCameraNode.h"
#include "scene/EmptyNode.h"
#include "scene/Scene.h"

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/scene.h>
#include <glm/gtc/constants.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <algorithm>
#include <array>
#include <deque>
#include <set>

namespace hm {

namespace {

// assimp stores matrices row by row; ours are column-major.
glm::mat4 toGlm(const aiMatrix4x4& m) {
    return glm::transpose(glm::make_mat4(&m.a1));
}

constexpr std::array<const char*, 35> kReservedKeys{"Body",
                                                    "BodyBufferFile",
                                                    "BodyMaxVerts",
                                                    "BodyRadius",
                                                    "BodyBoxSize",
                                                    "BodyHeight",
                                                    "BodyOrientation",
                                                    "ActorType",
                                                    "Gravity",
                                                    "BodyMaterial",
                                                    "Density",
                                                    "CenterOfMass",
                                                    "Mass",
                                                    "MassSpaceInertiaTensor",
                                                    "LockLinearAxis",
                                                    "LockAngularAxis",
                                                    "Attenuation",
                                                    "AmbientLight",
                                                    "Ignore",
                                                    "Ambient",
                                                    "FrontAxis",
                                                    "UpAxis",
                                                    "FrontAxisSign",
                                                    "UpAxisSign",
                                                    "CoordAxis",
                                                    "CoordAxisSign",
                                                    "OriginalUpAxis",
                                                    "OriginalUpAxisSign",
                                                    "OriginalUnitScaleFactor",
                                                    "AmbientColor",
                                                    "FrameRate",
                                                    "CustomFrameRate",
                                                    "UserProperties",
                                                    "DefaultAttributeIndex",
                                                    "InheritType"};

template <typename Key> void sortKeys(std::vector<Key>& keys) {
    auto earlier = [](const Key& a, const Key& b) { return a.time < b.time; };
    if (!std::is_sorted(keys.begin(), keys.end(), earlier))
        std::stable_sort(keys.begin(), keys.end(), earlier);
}

std::shared_ptr<Animation> convert(const aiAnimation& file) {
    auto animation = std::make_shared<Animation>(animationShortName(file.mName.C_Str()),
                                                 static_cast<float>(file.mDuration),
                                                 static_cast<float>(file.mTicksPerSecond));
    animation->channels.reserve(file.mNumChannels);
    for (unsigned c = 0; c < file.mNumChannels; ++c) {
        const aiNodeAnim& source = *file.mChannels[c];
        AnimationChannel channel(source.mNodeName.C_Str());
        for (unsigned k = 0; k < source.mNumPositionKeys; ++k) {
            const auto& key = source.mPositionKeys[k];
            channel.positionKeys.push_back(
                {static_cast<float>(key.mTime), {key.mValue.x, key.mValue.y, key.mValue.z}});
        }
        for (unsigned k = 0; k < source.mNumRotationKeys; ++k) {
            const auto& key = source.mRotationKeys[k];
            channel.rotationKeys.push_back(
                {static_cast<float>(key.mTime),
                 glm::quat(key.mValue.w, key.mValue.x, key.mValue.y, key.mValue.z)});
        }
        for (unsigned k = 0; k < source.mNumScalingKeys; ++k) {
            const auto& key = source.mScalingKeys[k];
            channel.scalingKeys.push_back(
                {static_cast<float>(key.mTime), {key.mValue.x, key.mValue.y, key.mValue.z}});
        }
        // Sampling searches the keys by time.
        sortKeys(channel.positionKeys);
        sortKeys(channel.rotationKeys);
        sortKeys(channel.scalingKeys);
        animation->channels.push_back(std::move(channel));
    }
    return animation;
}

void buildVertices(const aiMesh& mesh, std::vector<Vertex>& vertices, std::vector<std::uint32_t>& indices) {
    const bool tangents = mesh.mTangents && mesh.mBitangents;
    const aiVector3D* uv = mesh.mTextureCoords[0];
    vertices.resize(mesh.mNumVertices);
    for (unsigned i = 0; i < mesh.mNumVertices; ++i) {
        Vertex& v = vertices[i];
        v.position = {mesh.mVertices[i].x, mesh.mVertices[i].y, mesh.mVertices[i].z};
        if (mesh.mNormals)
            v.normal = {mesh.mNormals[i].x, mesh.mNormals[i].y, mesh.mNormals[i].z};
        if (tangents) {
            v.tangent = {mesh.mTangents[i].x, mesh.mTangents[i].y, mesh.mTangents[i].z};
            v.bitangent = {mesh.mBitangents[i].x, mesh.mBitangents[i].y, mesh.mBitangents[i].z};
        }
        if (uv)
            v.texCoord = {uv[i].x, uv[i].y};
    }
    indices.reserve(static_cast<std::size_t>(mesh.mNumFaces) * 3);
    std::size_t skipped = 0;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
        const aiFace& face = mesh.mFaces[f];
        // Triangulation leaves points and lines as they are; in a triangle list they would
        // shift every following triangle.
        if (face.mNumIndices != 3) {
            ++skipped;
            continue;
        }
        indices.insert(indices.end(), face.mIndices, face.mIndices + 3);
    }
    if (skipped > 0)
        spdlog::debug("Mesh {0}: {1} faces that are not triangles were left out.", mesh.mName.C_Str(),
                      skipped);
}

} // namespace

std::unique_ptr<Node3D> importModel(Scene* scene, int flags, const std::string& fileName,
                                    const std::string& rootName) {
    ModelImporter importer;
    return importer.importFile(scene, flags, kModelsFolder + toForwardSlashes(fileName), rootName);
}

bool ModelImporter::parseFile(const std::string& path) {
    Assimp::Importer parser;
    parser.SetPropertyFloat(AI_CONFIG_PP_GSN_MAX_SMOOTHING_ANGLE, kNormalSmoothingAngle);
    const aiScene* file = parser.ReadFile(path, kPostProcessFlags);
    return file && !(file->mFlags & AI_SCENE_FLAGS_INCOMPLETE) && file->mRootNode;
}

int ModelImporter::settleFlags(const Scene* scene, int flags) {
    if (flags == 0)
        return scene ? kDefaultSceneLoadFlags : kDefaultModelLoadFlags;
    if (!scene && (flags & (LoadNodeAnimations | LoadSceneProperties | LoadAmbient))) {
        spdlog::error(
            "If I'm supposed to load scene specific stuff you have to give me a scene... I'm just gonna "
            "load the model now.");
        return kDefaultModelLoadFlags;
    }
    return flags;
}

const ModelImporter::SpecialNode* ModelImporter::special(const aiNode* node) const {
    auto it = special_.find(node);
    return it == special_.end() ? nullptr : &it->second;
}

void ModelImporter::markIgnored(const aiNode* node) {
    if (node)
        special_[node] = SpecialNode{SpecialKind::Ignored, node, nullptr, -1};
}

void ModelImporter::addPendingOrbitCentre(OrbitCameraNode& camera, std::string centreName) {
    pendingOrbitCentres_.emplace_back(&camera, std::move(centreName));
}

std::unique_ptr<Node3D> ModelImporter::importFile(Scene* scene, int flags, const std::string& path,
                                                  const std::string& rootName) {
    special_.clear();
    materials_.clear();
    pendingOrbitCentres_.clear();
    meshes_.clear();
    skeletalAnimations_.clear();
    flags_ = settleFlags(scene, flags);
    upAxis_ = 1;
    path_ = path;

    if (!checkModelLimits(path))
        return nullptr;
    Assimp::Importer parser;
    parser.SetPropertyFloat(AI_CONFIG_PP_GSN_MAX_SMOOTHING_ANGLE, kNormalSmoothingAngle);
    file_ = parser.ReadFile(path, kPostProcessFlags | extraParseSteps_);
    if (!file_ || (file_->mFlags & AI_SCENE_FLAGS_INCOMPLETE) || !file_->mRootNode) {
        spdlog::error("Assimp Loading Error: {0} (model file {1})", parser.GetErrorString(), path);
        file_ = nullptr;
        return nullptr;
    }

    if (auto axis = metadata::getInt(file_->mMetaData, "UpAxis"))
        upAxis_ = *axis;
    if (upAxis_ != 1)
        spdlog::warn(
            "It seems that the files orientation is not y-up. Just wanna warn you that this COULD BE an "
            "issue.");

    buildSpecialNodes();
    importMaterials();
    std::unique_ptr<Node3D> root = buildNode(*file_->mRootNode);
    if (!root) {
        // Only a root marked "Ignore" gets here: the file is read, there is just nothing in it.
        spdlog::warn("The root node of {0} is ignored; the import is empty.", path);
        root = std::make_unique<EmptyNode>(file_->mRootNode->mName.C_Str());
    }
    if (!rootName.empty())
        root->setName(rootName);
    if (scene)
        applySceneData(*scene);
    resolveOrbitCentres(*root);

    meshes_.clear();
    skeletalAnimations_.clear();
    file_ = nullptr;
    return root;
}

void ModelImporter::buildSpecialNodes() {
    const aiNode* fileRoot = file_->mRootNode;
    for (unsigned i = 0; i < file_->mNumCameras; ++i)
        if (const aiNode* node = fileRoot->FindNode(file_->mCameras[i]->mName))
            special_[node] = SpecialNode{SpecialKind::Camera, node, nullptr, static_cast<int>(i)};
    for (unsigned i = 0; i < file_->mNumLights; ++i)
        if (const aiNode* node = fileRoot->FindNode(file_->mLights[i]->mName))
            special_[node] = SpecialNode{SpecialKind::Light, node, nullptr, static_cast<int>(i)};

    std::deque<const aiNode*> queue{fileRoot};
    while (!queue.empty()) {
        const aiNode* node = queue.front();
        queue.pop_front();
        for (unsigned m = 0; m < node->mNumMeshes; ++m) {
            const aiMesh* mesh = file_->mMeshes[node->mMeshes[m]];
            for (unsigned b = 0; b < mesh->mNumBones; ++b) {
                const aiString& boneName = mesh->mBones[b]->mName;
                const aiNode* found = nullptr;
                for (const aiNode* scope = node; scope && !found; scope = scope->mParent)
                    found = scope->FindNode(boneName);
                if (!found) {
                    spdlog::error("Bone with name {0} could not be found in node structure.",
                                  boneName.C_Str());
                    continue;
                }
                special_[found] = SpecialNode{SpecialKind::Bone, found, mesh, static_cast<int>(b)};
            }
        }
        for (unsigned c = 0; c < node->mNumChildren; ++c)
            queue.push_back(node->mChildren[c]);
    }
}

std::unique_ptr<Node3D> ModelImporter::buildNode(const aiNode& fileNode) {
    if (metadata::has(fileNode.mMetaData, "Ignore"))
        markIgnored(&fileNode);
    const std::string name = fileNode.mName.C_Str();

    std::unique_ptr<Node3D> node;
    bool isLight = false;
    if (const SpecialNode* entry = special(&fileNode)) {
        switch (entry->kind) {
        case SpecialKind::Bone:
        case SpecialKind::Ignored:
            return nullptr;
        case SpecialKind::Camera:
            node = createCamera(*this, *file_->mCameras[entry->index], fileNode);
            break;
        case SpecialKind::Light:
            node = createLight(*file_->mLights[entry->index], fileNode);
            if (!node)
                return nullptr;
            isLight = true;
            break;
        }
    } else if (fileNode.mNumMeshes == 1) {
        node = buildMeshNode(*file_->mMeshes[fileNode.mMeshes[0]], name);
    } else {
        node = std::make_unique<EmptyNode>(name);
        for (unsigned k = 0; k < fileNode.mNumMeshes; ++k) {
            const aiMesh& mesh = *file_->mMeshes[fileNode.mMeshes[k]];
            // assimp names the parts of a mesh with several materials after their node; such a
            // name says nothing, so the parts are numbered instead.
            std::string meshName = mesh.mName.C_Str();
            if (meshName.empty() || meshName == name)
                meshName = name + "_" + std::to_string(k + 1);
            node->addChild(buildMeshNode(mesh, meshName));
        }
    }

    node->setLocalMatrix(toGlm(fileNode.mTransformation));
    if ((flags_ & LoadNodeProperties) && fileNode.mMetaData)
        copyMetadata(*fileNode.mMetaData, *node);
    readBodyProperties(*this, *node, fileNode, *file_);

    for (unsigned c = 0; c < fileNode.mNumChildren; ++c) {
        std::unique_ptr<Node3D> child = buildNode(*fileNode.mChildren[c]);
        if (!child)
            continue;
        // Lights look along their own -y in the file; their children are turned to match.
        if (isLight)
            child->rotate(glm::vec3(1.0f, 0.0f, 0.0f), -glm::half_pi<float>());
        node->addChild(std::move(child));
    }
    return node;
}

std::unique_ptr<Node3D> ModelImporter::buildMeshNode(const aiMesh& fileMesh, const std::string& name) {
    std::shared_ptr<Material> material;
    if (fileMesh.mMaterialIndex < materials_.size())
        material = materials_[fileMesh.mMaterialIndex];
    else
        spdlog::error("Mesh {0} refers to material {1}, which the file does not have.", name,
                      fileMesh.mMaterialIndex);

    // The index of the mesh in the file, to share meshes between nodes that use the same one.
    unsigned meshIndex = file_->mNumMeshes;
    for (unsigned i = 0; i < file_->mNumMeshes; ++i)
        if (file_->mMeshes[i] == &fileMesh)
            meshIndex = i;
    auto cached = meshes_.find(meshIndex);

    if (!fileMesh.HasBones()) {
        std::shared_ptr<Mesh> mesh;
        if (cached != meshes_.end()) {
            mesh = cached->second;
        } else {
            std::vector<Vertex> vertices;
            std::vector<std::uint32_t> indices;
            buildVertices(fileMesh, vertices, indices);
            mesh = std::make_shared<Mesh>(std::move(vertices), std::move(indices));
            meshes_[meshIndex] = mesh;
        }
        return std::make_unique<MeshNode>(name, mesh, material);
    }

    if (cached != meshes_.end())
        if (auto rigged = std::dynamic_pointer_cast<RiggedMesh>(cached->second))
            return std::make_unique<RiggedMeshNode>(name, rigged, material);

    std::vector<Vertex> vertices;
    std::vector<std::uint32_t> indices;
    buildVertices(fileMesh, vertices, indices);

    // Bone records and the four strongest weights per vertex.
    std::vector<VertexBoneData> boneData(fileMesh.mNumVertices);
    std::map<std::string, std::unique_ptr<BoneInfo>> bonesByName;
    const aiNode* fileRoot = file_->mRootNode;
    for (unsigned b = 0; b < fileMesh.mNumBones; ++b) {
        const aiBone& bone = *fileMesh.mBones[b];
        if (!fileRoot->FindNode(bone.mName))
            continue; // reported while the special nodes were collected
        auto record = std::make_unique<BoneInfo>();
        record->name = bone.mName.C_Str();
        record->index = static_cast<std::int32_t>(b);
        record->offset = toGlm(bone.mOffsetMatrix);
        for (unsigned w = 0; w < bone.mNumWeights; ++w) {
            const aiVertexWeight& weight = bone.mWeights[w];
            if (weight.mVertexId >= boneData.size())
                continue;
            switch (boneData[weight.mVertexId].add(record->index, weight.mWeight)) {
            case VertexBoneData::Added::Stored:
                break;
            case VertexBoneData::Added::ReplacedSmallest:
                spdlog::debug(
                    "A rigged model requested more VertexBoneData-Slots than are available. I replaced the "
                    "smallest bone weight with the new one.");
                break;
            case VertexBoneData::Added::Dropped:
                spdlog::debug(
                    "A rigged model requested more VertexBoneData-Slots than are available. I dropped the "
                    "last request as it's weight is smaller than the rest.");
                break;
            }
        }
        bonesByName[record->name] = std::move(record);
    }

    // The bone tree follows the file's node tree: a bone's parent is its nearest ancestor node
    // that is a bone of this mesh.
    BoneInfo* root = nullptr;
    for (auto& [boneName, record] : bonesByName) {
        const aiNode* node = fileRoot->FindNode(aiString(boneName));
        record->localTransform = toGlm(node->mTransformation);
        for (const aiNode* ancestor = node->mParent; ancestor; ancestor = ancestor->mParent) {
            auto parent = bonesByName.find(ancestor->mName.C_Str());
            if (parent != bonesByName.end() && parent->second.get() != record.get()) {
                record->parent = parent->second.get();
                parent->second->children.push_back(record.get());
                break;
            }
        }
        if (!record->parent)
            root = record.get();
    }

    std::vector<std::string> boneNames;
    std::vector<std::unique_ptr<BoneInfo>> bones;
    for (auto& [boneName, record] : bonesByName) {
        boneNames.push_back(boneName);
        bones.push_back(std::move(record));
    }
    auto rigged = std::make_shared<RiggedMesh>(std::move(vertices), std::move(indices), std::move(boneData),
                                               std::move(bones), root, animationsForBones(boneNames));
    meshes_[meshIndex] = rigged;
    return std::make_unique<RiggedMeshNode>(name, rigged, material);
}

std::vector<std::shared_ptr<Animation>>
ModelImporter::animationsForBones(const std::vector<std::string>& boneNames) {
    const std::set<std::string> bones(boneNames.begin(), boneNames.end());
    std::vector<std::shared_ptr<Animation>> animations;
    for (unsigned a = 0; a < file_->mNumAnimations; ++a) {
        const aiAnimation& file = *file_->mAnimations[a];
        bool drivesBones = false;
        for (unsigned c = 0; c < file.mNumChannels && !drivesBones; ++c)
            drivesBones = bones.count(file.mChannels[c]->mNodeName.C_Str()) > 0;
        if (drivesBones)
            animations.push_back(convertAnimation(a));
    }
    return animations;
}

std::shared_ptr<Animation> ModelImporter::convertAnimation(unsigned animationIndex) {
    auto& converted = skeletalAnimations_[animationIndex];
    if (!converted)
        converted = convert(*file_->mAnimations[animationIndex]);
    return converted;
}

void ModelImporter::applySceneData(Scene& scene) {
    const aiNode* sceneNode = file_->mRootNode->FindNode("_sceneProperties");
    const aiMetadata* sceneNodeData = sceneNode ? sceneNode->mMetaData : nullptr;

    if (flags_ & LoadSceneProperties) {
        if (file_->mMetaData)
            copyMetadata(*file_->mMetaData, scene);
        if (sceneNodeData)
            copyMetadata(*sceneNodeData, scene);
    }

    if (flags_ & LoadAmbient) {
        const aiMetadata* source = metadata::has(sceneNodeData, "Ambient") ? sceneNodeData : file_->mMetaData;
        if (auto colour = metadata::getVec3(source, "Ambient")) {
            // The renderer clears with the scene's colour every frame.
            scene.setClearColour(*colour);
        } else if (auto sky = metadata::getString(source, "Ambient")) {
            scene.setSkybox(*sky);
        }
    }

    if (flags_ & LoadNodeAnimations) {
        NodeAnimator& animator = scene.nodeAnimator();
        for (unsigned a = 0; a < file_->mNumAnimations; ++a) {
            if (skeletalAnimations_.count(a))
                continue;
            std::shared_ptr<Animation> animation = convert(*file_->mAnimations[a]);
            std::shared_ptr<Animation> stashed = animator.stashed(animation->name());
            if (!stashed) {
                animator.addAnimation(std::move(animation));
                continue;
            }
            if (stashed->ticksPerSecond() != animation->ticksPerSecond()) {
                spdlog::error("A function to merge animations with different ticks per second is not yet "
                              "implemented.");
                continue;
            }
            stashed->setDurationTicks(std::max(stashed->durationTicks(), animation->durationTicks()));
            for (auto& channel : animation->channels)
                stashed->channels.push_back(std::move(channel));
            // The moved-from channels are empty shells; keep them quiet when the animation goes.
            animation->channels.clear();
        }
    }
}

void ModelImporter::resolveOrbitCentres(Node3D& root) {
    for (auto& [camera, centreName] : pendingOrbitCentres_) {
        Node3D* centre = centreName.empty() ? &root : root.findByName(centreName);
        if (!centre) {
            spdlog::warn("Couldn't find specified center node {0} for camera {1}.", centreName,
                         camera->getName());
            centre = &root;
        }
        camera->setOrbitCentreNode(centre);
    }
    pendingOrbitCentres_.clear();
}

bool isReservedKey(const std::string& key) {
    return std::find(kReservedKeys.begin(), kReservedKeys.end(), key) != kReservedKeys.end();
}

void copyMetadata(const aiMetadata& metadata, PropertyHolder& holder) {
    for (unsigned i = 0; i < metadata.mNumProperties; ++i) {
        const std::string key = metadata.mKeys[i].C_Str();
        const aiMetadataEntry& entry = metadata.mValues[i];
        if (isReservedKey(key) || !entry.mData)
            continue;
        std::unique_ptr<Property> property;
        switch (entry.mType) {
        case AI_INT32:
            property = std::make_unique<Property>(*static_cast<const std::int32_t*>(entry.mData));
            break;
        case AI_FLOAT:
            property = std::make_unique<Property>(*static_cast<const float*>(entry.mData));
            break;
        case AI_AISTRING:
            property =
                std::make_unique<Property>(std::string(static_cast<const aiString*>(entry.mData)->C_Str()));
            break;
        case AI_AIVECTOR3D: {
            const auto* v = static_cast<const aiVector3D*>(entry.mData);
            property = std::make_unique<Property>(glm::vec3(v->x, v->y, v->z));
            break;
        }
        default:
            break; // booleans, 64-bit integers and doubles are not kept
        }
        if (property)
            holder.setProperty(key, std::move(property));
    }
}

} // namespace hm
