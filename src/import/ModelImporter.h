// Model import: turns one FBX file into a tree of nodes with meshes, skinned meshes, materials,
// cameras and lights, and optionally feeds scene-wide data (scene properties, the ambient colour
// or sky, node animations) into a scene.
//
// The file is parsed by assimp; this module is the only one that sees assimp's types. What a
// file node becomes is decided by a table of special nodes built before the walk (bones,
// cameras, lights, nodes marked "Ignore"); every other node becomes a mesh node, a skinned mesh
// node or an EmptyNode. Node user properties configure bodies, cameras and lights
// (NodeProperties.h, BodyProperties.h) and the rest are copied into the node's properties.
//
// Imports run on the main thread (they create GL objects). The importer keeps the state of its
// import (flags, up axis, special nodes, materials, orbit cameras waiting for their centre) and
// hands itself to the node-property readers, which report back to it.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct aiAnimation;
struct aiMaterial;
struct aiMesh;
struct aiMetadata;
struct aiNode;
struct aiScene;

namespace hm {

class Animation;
class Material;
class Mesh;
class Node3D;
class OrbitCameraNode;
class PropertyHolder;
class Scene;

// What an import loads besides the node tree. Bits 1, 2 and 8 need a scene.
enum LoadFlags : int {
    LoadNodeAnimations = 1,  // node animations go to the scene's node animator
    LoadSceneProperties = 2, // global metadata and "_sceneProperties" go to the scene's properties
    LoadNodeProperties = 4,  // node metadata goes to the nodes' properties
    LoadAmbient = 8,         // "Ambient" sets the scene's clear colour or sky
};
// What 0 stands for, with and without a scene.
inline constexpr int kDefaultSceneLoadFlags = 31;
inline constexpr int kDefaultModelLoadFlags = 20;

// Imports "GAME_DATA/models/" + fileName. Returns the root of the new tree (renamed to rootName
// unless that is empty), or null after an error line when the file cannot be read. The caller
// attaches the root where it wants it. scene may be null.
std::unique_ptr<Node3D> importModel(Scene* scene, int flags, const std::string& fileName,
                                    const std::string& rootName = "");

class ModelImporter {
public:
    // Tangent space, triangulation, flipped texture coordinates, and normals for meshes whose file
    // has none (files from other tools may leave them out; without them nothing lights a mesh).
    static constexpr unsigned kPostProcessFlags = 0x800049;
    // Generated normals are shared across an edge up to this angle (degrees): a sphere comes out
    // smooth, a cube keeps its edges.
    static constexpr float kNormalSmoothingAngle = 80.0f;

    enum class SpecialKind : int { Bone = 0, Camera = 1, Light = 2, Ignored = 3 };
    struct SpecialNode {
        SpecialKind kind = SpecialKind::Ignored;
        const aiNode* node = nullptr;
        const aiMesh* mesh = nullptr; // bones: the mesh the bone belongs to
        int index = -1;               // bone, camera or light index
    };

    ModelImporter() = default;
    ModelImporter(const ModelImporter&) = delete;
    ModelImporter& operator=(const ModelImporter&) = delete;

    // Imports the file at path (relative to the working directory); see importModel.
    std::unique_ptr<Node3D> importFile(Scene* scene, int flags, const std::string& path,
                                       const std::string& rootName = "");
    // Adds assimp post-processing steps to the parse of later imports, e.g. its structure
    // validation (aiProcess_ValidateDataStructure), which refuses an inconsistent file outright.
    void addParseSteps(unsigned steps) { extraParseSteps_ |= steps; }

    // Parses the file with the importer's post-processing and drops the result: the parser's
    // share of an import, for measurements. False when the file cannot be read.
    static bool parseFile(const std::string& path);

    // The flags an import runs with: 0 means the defaults, and scene-only bits without a scene
    // are refused (with an error line) in favour of the model defaults.
    static int settleFlags(const Scene* scene, int flags);

    int flags() const { return flags_; }
    int upAxis() const { return upAxis_; }
    const SpecialNode* special(const aiNode* node) const;
    // Keeps the node (and its subtree) out of the node walk, e.g. a hull node used by a body.
    void markIgnored(const aiNode* node);
    // An orbit camera whose centre node is looked up by name once the tree is complete; an
    // empty name means the imported root.
    void addPendingOrbitCentre(OrbitCameraNode& camera, std::string centreName);
    // The material used for each file material index.
    const std::vector<std::shared_ptr<Material>>& materials() const { return materials_; }

private:
    void buildSpecialNodes();
    void importMaterials();
    std::unique_ptr<Node3D> buildNode(const aiNode& fileNode);
    std::unique_ptr<Node3D> buildMeshNode(const aiMesh& fileMesh, const std::string& name);
    std::shared_ptr<Animation> convertAnimation(unsigned animationIndex);
    std::vector<std::shared_ptr<Animation>> animationsForBones(const std::vector<std::string>& boneNames);
    void applySceneData(Scene& scene);
    void resolveOrbitCentres(Node3D& root);

    std::string path_;
    const aiScene* file_ = nullptr;
    int flags_ = 0;
    int upAxis_ = 1;
    unsigned extraParseSteps_ = 0;
    std::map<const aiNode*, SpecialNode> special_;
    std::vector<std::shared_ptr<Material>> materials_;
    std::vector<std::pair<OrbitCameraNode*, std::string>> pendingOrbitCentres_;
    // Meshes already built in this import, by file mesh index, shared by the nodes using them.
    std::map<unsigned, std::shared_ptr<Mesh>> meshes_;
    // File animations converted for skinned meshes (by file index); node animations skip them.
    std::map<unsigned, std::shared_ptr<Animation>> skeletalAnimations_;
};

// Copies metadata entries into properties: 32-bit integers, floats, strings and three-float
// vectors, except the keys that configure the import itself (see isReservedKey).
void copyMetadata(const aiMetadata& metadata, PropertyHolder& holder);
bool isReservedKey(const std::string& key);

} // namespace hm
