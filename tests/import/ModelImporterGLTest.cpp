// The importer on the pipeline's fixtures and on the real game models: node kinds and names,
// materials, skinning data, node properties and scene data.
#include "import/ModelImporter.h"

#include "animation/NodeAnimator.h"
#include "animation/RiggedMeshNode.h"
#include "render/CameraNode.h"
#include "render/LightNode.h"
#include "render/Material.h"
#include "render/OrbitCameraNode.h"
#include "render/Texture.h"
#include "scene/EmptyNode.h"
#include "scene/Scene.h"
#include "support/GLTestWindow.h"
#include "support/LogCapture.h"

#include <glm/gtc/matrix_access.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

namespace hm {
namespace {

const std::string kFixtures = "../../tests/fixtures/"; // relative to the models folder

class ImportScene : public Scene {
public:
    ImportScene() : Scene("import") {}
    void load() override {}
};

class ModelImport : public ::testing::Test {
protected:
    void SetUp() override { test::glWindow(); }

    static std::vector<Node3D*> all(Node3D& root) {
        std::vector<Node3D*> out;
        std::function<void(Node3D&)> walk = [&](Node3D& n) {
            out.push_back(&n);
            for (const auto& c : n.getChildren())
                walk(*c);
        };
        walk(root);
        return out;
    }
    static std::vector<std::string> childNames(const Node3D& node) {
        std::vector<std::string> names;
        for (const auto& c : node.getChildren())
            names.push_back(c->getName());
        return names;
    }
};

void expectNearMatrix(const glm::mat4& a, const glm::mat4& b, float tolerance, const std::string& what) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            ASSERT_NEAR(a[c][r], b[c][r], tolerance) << what << " at column " << c << ", row " << r;
}

TEST_F(ModelImport, TwoMeshesOnOneNodeBecomeNumberedChildrenOfAnEmptyNode) {
    auto root = importModel(nullptr, 0, kFixtures + "two_meshes.fbx", "fixture");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->getName(), "fixture");
    EXPECT_EQ(root->getTypeName(), "EmptyNode");
    Node3D* tree = root->findByName("tree");
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->getTypeName(), "EmptyNode");
    EXPECT_EQ(childNames(*tree), (std::vector<std::string>{"tree_1", "tree_2"}));
    std::set<std::string> materials;
    for (const auto& child : tree->getChildren()) {
        auto* mesh = dynamic_cast<MeshNode*>(child.get());
        ASSERT_NE(mesh, nullptr);
        EXPECT_GT(mesh->mesh()->indices().size(), 0u);
        EXPECT_EQ(mesh->mesh()->indices().size() % 3, 0u);
        materials.insert(mesh->material()->name());
    }
    EXPECT_EQ(materials, (std::set<std::string>{"Bark", "Leaves"}));
}

TEST_F(ModelImport, IgnoredNodesAndBoneNodesVanishWithTheirSubtrees) {
    auto ignored = importModel(nullptr, 0, kFixtures + "ignored_subtree.fbx");
    ASSERT_NE(ignored, nullptr);
    EXPECT_NE(ignored->findByName("Kept"), nullptr);
    for (const char* gone : {"Helper", "HelperChild", "HelperGrandchild"})
        EXPECT_EQ(ignored->findByName(gone), nullptr) << gone;

    auto rigged = importModel(nullptr, 0, kFixtures + "five_weights.fbx");
    ASSERT_NE(rigged, nullptr);
    EXPECT_NE(rigged->findByName("BlobRig"), nullptr);
    for (const char* bone : {"B0", "B1", "B2", "B3", "B4"})
        EXPECT_EQ(rigged->findByName(bone), nullptr) << bone;
}

TEST_F(ModelImport, MaterialShaderChoiceAndDeliberatelyEmptyAlbedo) {
    auto root = importModel(nullptr, 0, kFixtures + "materials.fbx");
    ASSERT_NE(root, nullptr);
    auto materialOf = [&](const char* node) {
        return dynamic_cast<MeshNode&>(*root->findByName(node)).material();
    };

    // Albedo -1: the slot keeps the material's default and is not looked up.
    auto off = materialOf("NoAlbedo");
    EXPECT_EQ(off->name(), "AlbedoOff");
    EXPECT_EQ(off->typeId(), Material::Pbr);
    EXPECT_EQ(off->getTexture(Albedo), PBRMaterial::defaultTextures()[Albedo]);
    EXPECT_NE(off->getTexture(Roughness), PBRMaterial::defaultTextures()[Roughness]); // the float 0.7

    auto dim = materialOf("Dim");
    EXPECT_EQ(dim->typeId(), Material::Pbr);
    auto bright = materialOf("Bright");
    ASSERT_EQ(bright->typeId(), Material::Solid);
    // The solid shader draws the colour uniform, so the glow colour must arrive there.
    EXPECT_NEAR(static_cast<SolidMaterial&>(*bright).colour.r, 0.02f, 1e-6f);
}

TEST_F(ModelImport, FiveBoneWeightsKeepTheFourLargest) {
    test::LogCapture log;
    auto root = importModel(nullptr, 0, kFixtures + "five_weights.fbx");
    ASSERT_NE(root, nullptr);
    auto* blob = dynamic_cast<RiggedMeshNode*>(root->findByName("Blob"));
    ASSERT_NE(blob, nullptr);
    const RiggedMesh& mesh = *blob->riggedMesh();
    EXPECT_EQ(mesh.flag, 1);
    ASSERT_EQ(mesh.bones().size(), 5u);

    std::map<std::string, int> index;
    for (const auto& bone : mesh.bones())
        index[bone->name] = bone->index;
    int checked = 0;
    for (std::size_t v = 0; v < mesh.vertices().size(); ++v) {
        const glm::vec3 p = mesh.vertices()[v].position;
        if (glm::length(p) > 1e-4f && glm::length(p - glm::vec3(1, 0, 0)) > 1e-4f)
            continue;
        const VertexBoneData& data = mesh.boneData()[v];
        std::vector<std::pair<float, int>> slots;
        for (int s = 0; s < 4; ++s)
            slots.emplace_back(data.weights[s], data.ids[s]);
        std::sort(slots.rbegin(), slots.rend());
        const float expected[] = {0.30f, 0.25f, 0.20f, 0.15f};
        const char* bones[] = {"B0", "B1", "B2", "B3"};
        for (int s = 0; s < 4; ++s) {
            EXPECT_NEAR(slots[s].first, expected[s], 1e-4f) << "vertex at " << p.x;
            EXPECT_EQ(slots[s].second, index[bones[s]]) << "vertex at " << p.x;
        }
        ++checked;
    }
    EXPECT_EQ(checked, 2);
    EXPECT_GE(
        log.count("A rigged model requested more VertexBoneData-Slots than are available. I dropped the last "
                  "request as it's weight is smaller than the rest."),
        2u);

    // In the rest pose every bone sits where it was bound.
    for (std::size_t i = 0; i < blob->boneMatrices().size(); ++i)
        expectNearMatrix(blob->boneMatrices()[i], glm::mat4(1.0f), 1e-4f, "bone " + std::to_string(i));
}

TEST_F(ModelImport, WithoutSceneDataOnlyNodePropertiesAreCopied) {
    {
        test::LogCapture log;
        auto root = importModel(nullptr, 0, "Vezaz.fbx");
        ASSERT_NE(root, nullptr);
        const Node3D* camera = root->findByName("camera_main");
        ASSERT_NE(camera, nullptr);
        ASSERT_NE(camera->getProperty("CameraType"), nullptr);
        EXPECT_EQ(*camera->getProperty("CameraType")->asString(), "Orbital");
        EXPECT_EQ(camera->getProperty("ForegroundTransparent"), nullptr); // a boolean
        EXPECT_EQ(root->findByName("TorchLight1")->getProperty("Attenuation"), nullptr);
        EXPECT_EQ(root->findByName("Sun")->getProperty("AmbientLight"), nullptr);
        EXPECT_TRUE(log.messages(spdlog::level::err).empty());
    }
    {
        // Scene bits without a scene: complaint, then the model defaults (node properties on).
        test::LogCapture log;
        auto root = importModel(nullptr, LoadNodeAnimations, "tower_base.fbx");
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(log.messages(spdlog::level::err).size(), 1u);
    }
    {
        ImportScene scene;
        auto root = importModel(&scene, LoadNodeProperties, "Vezaz.fbx");
        ASSERT_NE(root, nullptr);
        EXPECT_NE(root->findByName("camera_main")->getProperty("CameraType"), nullptr);
        EXPECT_EQ(scene.propertyCount(), 0u);
        EXPECT_TRUE(scene.nodeAnimator().stash().empty());
        EXPECT_EQ(scene.skyboxMaterial(), nullptr);
    }
}

TEST_F(ModelImport, TheLevelBringsCamerasLightsSkyAndNodeAnimations) {
    // Materials live as long as the window's GPU state: another test in this process may have made
    // the level's materials already, and then their maps are not looked up (nor logged) again.
    const bool groundIsNew = MaterialRegistry::instance().findMaterial("ValleyGround") == nullptr;
    test::LogCapture log;
    ImportScene scene;
    auto root = importModel(&scene, 0, "Vezaz.fbx", "level");
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(log.messages(spdlog::level::err).empty());
    EXPECT_TRUE(log.messages(spdlog::level::warn).empty());

    auto* orbit = dynamic_cast<OrbitCameraNode*>(root->findByName("camera_main"));
    ASSERT_NE(orbit, nullptr);
    ASSERT_NE(orbit->orbitCentreNode(), nullptr);
    EXPECT_EQ(orbit->orbitCentreNode()->getName(), "OrbitCenter");
    auto* track = dynamic_cast<CameraNode*>(root->findByName("camera_trackshot"));
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->getTypeName(), "CameraNode");
    EXPECT_NEAR(track->getFieldOfView(), 1.37146f, 1e-4f); // square aspect: vertical = horizontal

    auto* torch = dynamic_cast<PointLight*>(root->findByName("TorchLight1"));
    ASSERT_NE(torch, nullptr);
    EXPECT_NEAR(torch->attenuation.y, 0.7f, 1e-5f);
    EXPECT_NEAR(torch->attenuation.z, 1.8f, 1e-5f);
    auto* sun = dynamic_cast<SunLight*>(root->findByName("Sun"));
    ASSERT_NE(sun, nullptr);
    EXPECT_NEAR(sun->ambient.r, sun->colour.r * sun->intensity * 0.35f, 1e-5f);
    EXPECT_EQ(root->findByName("LayoutGuides"), nullptr);
    EXPECT_EQ(root->findByName("RoadCentreLine"), nullptr);

    // The stone material finds its other maps next to its albedo.
    auto stone = MaterialRegistry::instance().findMaterial("DressedStone");
    ASSERT_NE(stone, nullptr);
    EXPECT_EQ(stone->getTexture(Normal)->name(), "stone/no_stone.png");
    EXPECT_EQ(stone->getTexture(AmbientOcclusion)->name(), "stone/ao_stone.png");
    // The meadow has no metallic map: the slot keeps its default, and the log says so.
    auto ground = MaterialRegistry::instance().findMaterial("ValleyGround");
    ASSERT_NE(ground, nullptr);
    EXPECT_EQ(ground->getTexture(Metallic), PBRMaterial::defaultTextures()[Metallic]);
    if (groundIsNew) {
        EXPECT_TRUE(log.contains("Material ValleyGround: no me_* map in GAME_DATA/textures/terrain; the "
                                 "slot keeps its default texture."));
    }
    EXPECT_FALSE(log.contains("Material DressedStone: no me_* map in GAME_DATA/textures/stone; the slot "
                              "keeps its default texture."));

    EXPECT_NE(scene.skyboxMaterial(), nullptr);
    EXPECT_NE(scene.getProperty("UnitScaleFactor"), nullptr); // global metadata
    EXPECT_EQ(scene.getProperty("Ambient"), nullptr);         // reserved
    std::set<std::string> stashed;
    for (const auto& animation : scene.nodeAnimator().stash())
        stashed.insert(animation->name());
    EXPECT_EQ(stashed, (std::set<std::string>{"EnemyPath", "Intro", "trackshot1", "trackshot2", "trackshot3",
                                              "trackshot4", "ExplosionAnimation"}));

    // A second import of the same file merges its node animations into the stashed ones.
    const auto path = scene.nodeAnimator().stashed("EnemyPath");
    const float duration = path->durationTicks();
    auto again = importModel(&scene, 0, "Vezaz.fbx");
    EXPECT_EQ(scene.nodeAnimator().stash().size(), stashed.size());
    EXPECT_EQ(path->channels.size(), 2u);
    EXPECT_EQ(path->channels[1].name, "EnemyPathNode");
    EXPECT_FLOAT_EQ(path->durationTicks(), duration);
}

struct GameModel {
    const char* file;
    const char* node;
    std::vector<std::string> skeletal; // animations of the skinned node
};

TEST_F(ModelImport, EveryGameModelImportsWithoutErrors) {
    const GameModel models[] = {
        {"Vezaz.fbx", "Terrain", {}},
        {"menu_main.fbx", "WoodStart", {}},
        {"tower_base.fbx", "BuildingBase", {}},
        {"tower_arrow.fbx", "TowerArrow", {"Construction", "idle"}},
        {"tower_cannon.fbx", "TowerCannon", {"Construction", "idle"}},
        {"enemy_floating_stone_monster.fbx", "EnemyFloatingStoneMonster", {"Attack", "Dying", "Walk"}},
        {"enemy_walking_stone_monster.fbx", "EnemyWalkingStoneMonster", {"Attack", "Dying", "Walk"}},
        {"enemy_massive_stone_monster.fbx", "EnemyMassiveStoneMonster", {"Attack", "Dying", "Walk"}},
        {"projectile_arrow.fbx", "ProjectileArrow", {}},
        {"projectile_cannonball.fbx", "ProjectileCannonball", {}},
    };
    for (const GameModel& model : models) {
        SCOPED_TRACE(model.file);
        test::LogCapture log;
        ImportScene scene;
        auto root = importModel(&scene, 0, model.file);
        ASSERT_NE(root, nullptr);
        // The scene's sky material is registered by name, so every scene after the first that
        // sets a sky reports the name as taken; that line is the scene's, not the import's.
        auto errors = log.messages(spdlog::level::err);
        std::erase(errors, "A material by the name skybox already exists.");
        EXPECT_TRUE(errors.empty()) << errors.front();
        Node3D* node = root->findByName(model.node);
        ASSERT_NE(node, nullptr);
        if (model.skeletal.empty())
            continue;
        auto* rigged = dynamic_cast<RiggedMeshNode*>(node);
        ASSERT_NE(rigged, nullptr);
        std::vector<std::string> names;
        for (const auto& animation : rigged->animations())
            names.push_back(animation->name());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, model.skeletal);
        // Skeletal animations stay with the skinned mesh, not in the scene's stash.
        for (const auto& name : model.skeletal)
            EXPECT_EQ(scene.nodeAnimator().stashed(name), nullptr) << name;
        for (std::size_t i = 0; i < rigged->boneMatrices().size(); ++i)
            expectNearMatrix(rigged->boneMatrices()[i], glm::mat4(1.0f), 1e-3f,
                             "rest pose of bone " + std::to_string(i));
    }
}

TEST_F(ModelImport, SkinnedPartsOfOneModelShareTheAnimationsAndChildrenFollowTheirFiles) {
    auto root = importModel(nullptr, 0, "enemy_floating_stone_monster.fbx");
    ASSERT_NE(root, nullptr);
    auto* body = dynamic_cast<RiggedMeshNode*>(root->findByName("EnemyFloatingStoneMonster"));
    auto* core = dynamic_cast<RiggedMeshNode*>(root->findByName("Core"));
    ASSERT_TRUE(body && core);
    EXPECT_EQ(core->getParent(), body);
    EXPECT_EQ(body->animations().front(), core->animations().front());
    EXPECT_EQ(childNames(*body), (std::vector<std::string>{"Core", "EnemyTarget"}));
    EXPECT_NEAR(root->findByName("EnemyTarget")->getWorldPosition().y, 0.4f, 1e-4f);
}

TEST_F(ModelImport, UnreadableFilesGiveNothingAndAnErrorLine) {
    const std::string broken = (std::filesystem::temp_directory_path() / "hm_broken.fbx").string();
    {
        std::ofstream out(broken, std::ios::binary);
        out << "Kaydara FBX Binary  \0\x1a\0 this is not really a model";
    }
    std::ifstream original("GAME_DATA/models/tower_base.fbx", std::ios::binary);
    const std::string truncatedPath = (std::filesystem::temp_directory_path() / "hm_truncated.fbx").string();
    {
        std::string bytes((std::istreambuf_iterator<char>(original)), std::istreambuf_iterator<char>());
        std::ofstream out(truncatedPath, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 3));
    }
    for (const std::string& path : {std::string("GAME_DATA/models/missing.fbx"), broken, truncatedPath}) {
        test::LogCapture log;
        ModelImporter importer;
        ImportScene scene;
        EXPECT_EQ(importer.importFile(&scene, 0, path), nullptr) << path;
        const auto errors = log.messages(spdlog::level::err);
        // One line naming the file: from the parser, or from the size check before it.
        ASSERT_EQ(errors.size(), 1u) << path;
        EXPECT_NE(errors[0].find(path), std::string::npos) << errors[0];
        EXPECT_TRUE(scene.nodeAnimator().stash().empty());
    }
}

} // namespace
} // namespace hm
