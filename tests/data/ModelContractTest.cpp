// Checks that the generated game data holds what the game looks up by name: nodes, first children,
// user properties and their types, materials, animations, and the texture files they point at.
// Reads the files with assimp and the same post-processing flags as the game's importer; needs no
// display. Run from the repository root. Every failure names the file and the missing item.
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr unsigned kImportFlags = 0x800009; // tangent space, triangulate, flip UVs
const fs::path kModels = "GAME_DATA/models";
const fs::path kTextures = "GAME_DATA/textures";

struct Model {
    Assimp::Importer importer;
    const aiScene* scene = nullptr;
    std::string file;

    explicit Model(const std::string& name) : file(name) {
        scene = importer.ReadFile((kModels / name).string(), kImportFlags);
    }
    Model(const fs::path& path, bool) : file(path.string()) {
        scene = importer.ReadFile(path.string(), kImportFlags);
    }
    bool ok() const { return scene && scene->mRootNode && !(scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE); }

    const aiNode* node(const std::string& name) const { return scene->mRootNode->FindNode(aiString(name)); }
    std::set<std::string> animations() const {
        std::set<std::string> out;
        for (unsigned i = 0; i < scene->mNumAnimations; ++i)
            out.insert(animationName(scene->mAnimations[i]));
        return out;
    }
    const aiAnimation* animation(const std::string& name) const {
        for (unsigned i = 0; i < scene->mNumAnimations; ++i)
            if (animationName(scene->mAnimations[i]) == name)
                return scene->mAnimations[i];
        return nullptr;
    }
    const aiMaterial* material(const std::string& name) const {
        for (unsigned i = 0; i < scene->mNumMaterials; ++i)
            if (scene->mMaterials[i]->GetName().C_Str() == name)
                return scene->mMaterials[i];
        return nullptr;
    }
    std::string materialOf(const aiNode* n) const {
        if (!n || n->mNumMeshes == 0)
            return "";
        return scene->mMaterials[scene->mMeshes[n->mMeshes[0]]->mMaterialIndex]->GetName().C_Str();
    }
    // The importer keeps the text after the first "|" of "object|action".
    static std::string animationName(const aiAnimation* a) {
        std::string s = a->mName.C_Str();
        auto bar = s.find('|');
        return bar == std::string::npos ? s : s.substr(bar + 1);
    }
};

enum class Type { Int, Float, String, Vec3 };

const char* typeName(Type t) {
    switch (t) {
    case Type::Int:
        return "int";
    case Type::Float:
        return "float";
    case Type::String:
        return "string";
    case Type::Vec3:
        return "vec3";
    }
    return "?";
}

std::optional<aiMetadataType> metaType(const aiNode* n, const std::string& key) {
    if (!n || !n->mMetaData)
        return std::nullopt;
    for (unsigned i = 0; i < n->mMetaData->mNumProperties; ++i)
        if (n->mMetaData->mKeys[i].C_Str() == key)
            return n->mMetaData->mValues[i].mType;
    return std::nullopt;
}

bool hasType(const aiNode* n, const std::string& key, Type t) {
    auto mt = metaType(n, key);
    if (!mt)
        return false;
    switch (t) {
    case Type::Int:
        return *mt == AI_INT32;
    case Type::Float:
        return *mt == AI_FLOAT;
    case Type::String:
        return *mt == AI_AISTRING;
    case Type::Vec3:
        return *mt == AI_AIVECTOR3D;
    }
    return false;
}

std::string metaString(const aiNode* n, const std::string& key) {
    aiString s;
    return n && n->mMetaData && n->mMetaData->Get(key, s) ? s.C_Str() : "";
}

float metaFloat(const aiNode* n, const std::string& key, float fallback = 0) {
    float f = fallback;
    if (n && n->mMetaData)
        n->mMetaData->Get(key, f);
    return f;
}

aiMatrix4x4 worldOf(const aiNode* n) {
    aiMatrix4x4 m;
    for (; n; n = n->mParent)
        m = n->mTransformation * m;
    return m;
}

aiVector3D positionOf(const aiNode* n) {
    aiMatrix4x4 m = worldOf(n);
    return {m.a4, m.b4, m.c4};
}

// What one model file must contain.
struct Expectation {
    std::string file;
    std::vector<std::string> nodes;
    std::vector<std::pair<std::string, std::string>> firstChildren; // parent, child
    std::vector<std::string> animations;
    std::vector<std::tuple<std::string, std::string, Type>> properties; // node, key, type
    std::vector<std::pair<std::string, std::string>> nodeMaterials;     // node, material
};

void PrintTo(const Expectation& e, std::ostream* os) {
    *os << e.file;
}

const std::vector<Expectation> kExpectations = {
    {"tower_base.fbx",
     {"BuildingBase"},
     {{"BuildingBase", "BuildingBaseRing"}},
     {},
     {{"BuildingBase", "Body", Type::String},
      {"BuildingBase", "BodyBoxSize", Type::Vec3},
      {"BuildingBase", "ActorType", Type::Int}},
     {{"BuildingBaseRing", "ColorPicker"}}},
    {"tower_arrow.fbx",
     {"TowerArrow", "TowerArrowLevel2", "TowerArrowLevel3"},
     {{"TowerArrow", "TowerArrowMuzzle"}},
     {"Construction", "idle"},
     {},
     {{"TowerArrow", "ColorPicker"},
      {"TowerArrowLevel2", "ColorPicker"},
      {"TowerArrowLevel3", "ColorPicker"}}},
    {"tower_cannon.fbx",
     {"TowerCannon", "TowerCannonLevel2", "TowerCannonLevel3"},
     {{"TowerCannon", "TowerCannonMuzzle"}},
     {"Construction", "idle"},
     {},
     {{"TowerCannon", "ColorPicker"},
      {"TowerCannonLevel2", "ColorPicker"},
      {"TowerCannonLevel3", "ColorPicker"}}},
    {"enemy_floating_stone_monster.fbx",
     {"EnemyFloatingStoneMonster", "Core", "EnemyTarget"},
     {},
     {"Walk", "Attack", "Dying"},
     {{"EnemyFloatingStoneMonster", "Body", Type::String},
      {"EnemyFloatingStoneMonster", "ActorType", Type::Int},
      {"EnemyFloatingStoneMonster", "BodyRadius", Type::Float},
      {"EnemyFloatingStoneMonster", "BodyHeight", Type::Float}},
     {{"EnemyFloatingStoneMonster", "ColorPicker"}}},
    {"enemy_walking_stone_monster.fbx",
     {"EnemyWalkingStoneMonster", "Core", "EnemyTarget"},
     {},
     {"Walk", "Attack", "Dying"},
     {{"EnemyWalkingStoneMonster", "Body", Type::String},
      {"EnemyWalkingStoneMonster", "ActorType", Type::Int}},
     {{"EnemyWalkingStoneMonster", "ColorPicker"}}},
    {"enemy_massive_stone_monster.fbx",
     {"EnemyMassiveStoneMonster", "Core", "EnemyTarget"},
     {},
     {"Walk", "Attack", "Dying"},
     {{"EnemyMassiveStoneMonster", "Body", Type::String},
      {"EnemyMassiveStoneMonster", "ActorType", Type::Int}},
     {{"EnemyMassiveStoneMonster", "ColorPicker"}}},
    {"projectile_arrow.fbx",
     {"ProjectileArrow"},
     {{"ProjectileArrow", "ProjectileArrowFletching"}},
     {},
     {{"ProjectileArrow", "Body", Type::String}, {"ProjectileArrow", "ActorType", Type::Int}},
     {}},
    {"projectile_cannonball.fbx",
     {"ProjectileCannonball"},
     {{"ProjectileCannonball", "ProjectileCannonballExplosion"}},
     {},
     {{"ProjectileCannonball", "Body", Type::String},
      {"ProjectileCannonball", "ActorType", Type::Int},
      {"ProjectileCannonball", "BodyRadius", Type::Float}},
     {}},
    {"Vezaz.fbx",
     {"Terrain", "EnemySpawnPoint", "EnemyPathNode", "camera_main", "camera_trackshot", "OrbitCenter", "Sun",
      "_sceneProperties", "TVScreen"},
     {},
     {"EnemyPath", "Intro", "trackshot1", "trackshot2", "trackshot3", "trackshot4", "ExplosionAnimation"},
     {{"Terrain", "Body", Type::String},
      {"Terrain", "BodyBufferFile", Type::String},
      {"camera_main", "CameraType", Type::String},
      {"camera_main", "OrbitCenter", Type::String},
      {"Sun", "AmbientLight", Type::Float},
      {"_sceneProperties", "Ambient", Type::String},
      {"TorchLight1", "Attenuation", Type::Float}},
     {{"TVScreen", "TVScreen"}}},
    {"Morrowfen.fbx",
     {"Terrain", "EnemySpawnPoint", "EnemyPathNode", "EnemySpawnPoint2", "EnemyPathNode2", "camera_main",
      "camera_trackshot", "OrbitCenter", "Sun", "_sceneProperties", "PlayerCore", "TVScreen",
      "ExplosionNode"},
     {},
     {"EnemyPath", "EnemyPath2", "Intro", "trackshot1", "trackshot2", "trackshot3", "trackshot4",
      "ExplosionAnimation"},
     {{"Terrain", "Body", Type::String},
      {"Terrain", "BodyBufferFile", Type::String},
      {"camera_main", "CameraType", Type::String},
      {"camera_main", "OrbitCenter", Type::String},
      {"Sun", "AmbientLight", Type::Vec3},
      {"_sceneProperties", "Ambient", Type::String},
      {"TorchLight1", "Attenuation", Type::Float},
      {"Boulder1", "Body", Type::String}},
     {{"Terrain", "FenGround"}, {"TVScreen", "TVScreen"}, {"Pools", "FenWater"}, {"Road", "ColorPicker"}}},
    {"Cinderpass.fbx",
     {"Terrain", "EnemySpawnPoint", "EnemyPathNode", "camera_main", "camera_trackshot", "OrbitCenter", "Sun",
      "_sceneProperties", "PlayerCore", "TVScreen", "ExplosionNode"},
     {},
     {"EnemyPath", "Intro", "trackshot1", "trackshot2", "trackshot3", "trackshot4", "ExplosionAnimation"},
     {{"Terrain", "Body", Type::String},
      {"Terrain", "BodyBufferFile", Type::String},
      {"camera_main", "CameraType", Type::String},
      {"camera_main", "OrbitCenter", Type::String},
      {"Sun", "AmbientLight", Type::Vec3},
      {"_sceneProperties", "Ambient", Type::String},
      {"TorchLight1", "Attenuation", Type::Float},
      {"LavaLight1", "Attenuation", Type::Float},
      {"Boulder1", "Body", Type::String}},
     {{"Terrain", "AshGround"}, {"TVScreen", "TVScreen"}, {"Lava", "LavaGlow"}, {"Road", "ColorPicker"}}},
    {"menu_main.fbx",
     {"WoodStart", "WoodExit", "Sun", "_sceneProperties"},
     {{"WoodStart", "WoodStartBoard"}, {"WoodExit", "WoodExitBoard"}},
     {"Scene"},
     {{"WoodStart", "Body", Type::String},
      {"WoodExit", "Body", Type::String},
      {"_sceneProperties", "Ambient", Type::String}},
     {{"WoodStartBoard", "ColorPicker"}, {"WoodExitBoard", "ColorPicker"}}},
};

class ModelContract : public ::testing::TestWithParam<Expectation> {};

TEST_P(ModelContract, HoldsEverythingTheGameLooksUp) {
    const Expectation& e = GetParam();
    Model m(e.file);
    ASSERT_TRUE(m.ok()) << e.file << ": " << m.importer.GetErrorString();
    std::vector<std::string> missing;
    for (const auto& n : e.nodes)
        if (!m.node(n))
            missing.push_back("node \"" + n + "\"");
    for (const auto& [parent, child] : e.firstChildren) {
        const aiNode* p = m.node(parent);
        if (!p || p->mNumChildren == 0 || p->mChildren[0]->mName.C_Str() != child)
            missing.push_back("\"" + child + "\" as first child of \"" + parent + "\"");
    }
    auto anims = m.animations();
    for (const auto& a : e.animations)
        if (!anims.count(a))
            missing.push_back("animation \"" + a + "\"");
    for (const auto& [node, key, type] : e.properties)
        if (!hasType(m.node(node), key, type))
            missing.push_back(std::string("property ") + typeName(type) + " \"" + key + "\" on \"" + node +
                              "\"");
    for (const auto& [node, mat] : e.nodeMaterials)
        if (m.materialOf(m.node(node)) != mat)
            missing.push_back("material \"" + mat + "\" on \"" + node + "\"");
    EXPECT_TRUE(missing.empty()) << e.file << " lacks: " << ::testing::PrintToString(missing);
}

INSTANTIATE_TEST_SUITE_P(GameData, ModelContract, ::testing::ValuesIn(kExpectations),
                         [](const auto& paramInfo) {
                             std::string s = paramInfo.param.file.substr(0, paramInfo.param.file.find('.'));
                             std::replace(s.begin(), s.end(), '-', '_');
                             return s;
                         });

// Every texture a material names must exist, relative to the textures folder ($raw properties) or to
// the model file (the exporter's own texture references), and no path may leak the build machine's.
TEST(GameData, MaterialTexturesExist) {
    std::vector<std::string> problems;
    for (const auto& entry : fs::directory_iterator(kModels)) {
        if (entry.path().extension() != ".fbx")
            continue;
        Model m(entry.path(), true);
        ASSERT_TRUE(m.ok()) << entry.path();
        for (unsigned i = 0; i < m.scene->mNumMaterials; ++i) {
            const aiMaterial* mat = m.scene->mMaterials[i];
            std::string where = entry.path().filename().string() + " material " + mat->GetName().C_Str();
            for (const char* slot : {"Albedo", "Normal", "Metallic", "Roughness", "AmbientOcclusion"}) {
                aiString path;
                std::string key = std::string("$raw.") + slot;
                if (aiGetMaterialString(mat, key.c_str(), 0, 0, &path) == AI_SUCCESS &&
                    !fs::exists(kTextures / path.C_Str()))
                    problems.push_back(where + ": " + slot + " file " + path.C_Str());
            }
            aiString file;
            if (mat->GetTexture(aiTextureType_DIFFUSE, 0, &file) == AI_SUCCESS) {
                std::string f = file.C_Str();
                if (!f.empty() && f[0] == '/')
                    problems.push_back(where + ": absolute texture path " + f);
                else if (!fs::exists(kModels / f))
                    problems.push_back(where + ": texture file " + f);
            }
        }
    }
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
}

// The shared materials carry the same definition in every file, because the game keeps the first one
// it meets under each name.
TEST(GameData, SharedMaterialsAgreeAcrossFiles) {
    std::map<std::string, std::string> albedoByMaterial;
    std::vector<std::string> problems;
    for (const auto& entry : fs::directory_iterator(kModels)) {
        if (entry.path().extension() != ".fbx")
            continue;
        Model m(entry.path(), true);
        for (unsigned i = 0; i < m.scene->mNumMaterials; ++i) {
            const aiMaterial* mat = m.scene->mMaterials[i];
            aiString albedo;
            aiGetMaterialString(mat, "$raw.Albedo", 0, 0, &albedo);
            auto [it, fresh] = albedoByMaterial.emplace(mat->GetName().C_Str(), albedo.C_Str());
            if (!fresh && it->second != albedo.C_Str())
                problems.push_back(std::string(mat->GetName().C_Str()) + " differs in " +
                                   entry.path().filename().string());
        }
    }
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
}

// A skinned model must rest undeformed: with the bones at their file transforms (accumulated from the
// root bone down, as the game does) each bone matrix times its offset matrix is the identity.
TEST(GameData, SkinnedPrototypesRestUndeformed) {
    // towers: the tower itself and its meshes of levels 2 and 3; monsters: the body and its core
    for (auto [file, expected] :
         {std::pair{"tower_arrow.fbx", 3u}, std::pair{"tower_cannon.fbx", 3u},
          std::pair{"enemy_floating_stone_monster.fbx", 2u}, std::pair{"enemy_walking_stone_monster.fbx", 2u},
          std::pair{"enemy_massive_stone_monster.fbx", 2u}}) {
        Model m(file);
        ASSERT_TRUE(m.ok()) << file;
        unsigned skinned = 0;
        for (unsigned i = 0; i < m.scene->mNumMeshes; ++i) {
            const aiMesh* mesh = m.scene->mMeshes[i];
            if (!mesh->HasBones())
                continue;
            ++skinned;
            std::set<std::string> boneNames;
            for (unsigned b = 0; b < mesh->mNumBones; ++b)
                boneNames.insert(mesh->mBones[b]->mName.C_Str());
            for (unsigned b = 0; b < mesh->mNumBones; ++b) {
                const aiBone* bone = mesh->mBones[b];
                aiMatrix4x4 global;
                for (const aiNode* n = m.node(bone->mName.C_Str()); n && boneNames.count(n->mName.C_Str());
                     n = n->mParent)
                    global = n->mTransformation * global;
                aiMatrix4x4 rest = global * bone->mOffsetMatrix;
                aiMatrix4x4 id;
                float worst = 0;
                for (int r = 0; r < 4; ++r)
                    for (int c = 0; c < 4; ++c)
                        worst = std::max(worst, std::fabs(rest[r][c] - id[r][c]));
                EXPECT_LT(worst, 1e-3f)
                    << file << " mesh " << mesh->mName.C_Str() << " bone " << bone->mName.C_Str();
            }
        }
        EXPECT_EQ(skinned, expected) << file << ": skinned meshes";
    }
}

// Extent along the file's up axis, or with fromOrigin the top above the node's origin (a hovering
// monster's height counts from the road).
float meshHeight(const Model& m, const aiNode* n, bool fromOrigin = false) {
    float lo = fromOrigin ? 0.0f : 1e9f, hi = -1e9f;
    for (unsigned k = 0; n && k < n->mNumMeshes; ++k) {
        const aiMesh* mesh = m.scene->mMeshes[n->mMeshes[k]];
        for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
            lo = std::min(lo, mesh->mVertices[v].y);
            hi = std::max(hi, mesh->mVertices[v].y);
        }
    }
    return hi - lo;
}

// After the prototype scales of the level (0.6, 0.2, 0.32) the monsters stand about 0.4, 0.5 and 1.0 tall,
// their target points sit inside the body, and the muzzles sit high on the towers.
TEST(GameData, PrototypeProportions) {
    struct Case {
        const char* file;
        const char* node;
        float scale;
        float height;
    };
    for (const Case& c :
         {Case{"enemy_floating_stone_monster.fbx", "EnemyFloatingStoneMonster", 0.6f, 0.4f},
          Case{"enemy_walking_stone_monster.fbx", "EnemyWalkingStoneMonster", 0.2f, 0.75f},
          Case{"enemy_massive_stone_monster.fbx", "EnemyMassiveStoneMonster", 0.32f, 1.35f}}) {
        Model m(c.file);
        ASSERT_TRUE(m.ok()) << c.file;
        float h = meshHeight(m, m.node(c.node), true) * c.scale;
        EXPECT_NEAR(h, c.height, c.height * 0.25f) << c.file;
        aiVector3D target = positionOf(m.node("EnemyTarget"));
        EXPECT_GT(target.y * c.scale, 0.25f * c.height) << c.file << " EnemyTarget too low";
        EXPECT_LT(target.y * c.scale, c.height) << c.file << " EnemyTarget above the head";
    }
    for (const auto& [file, tower] :
         {std::pair{"tower_arrow.fbx", "TowerArrow"}, std::pair{"tower_cannon.fbx", "TowerCannon"}}) {
        Model m(file);
        ASSERT_TRUE(m.ok()) << file;
        EXPECT_GT(positionOf(m.node(std::string(tower) + "Muzzle")).y, 0.7f) << file;
        // The meshes of levels 2 and 3 hang below the tower, skinned to its rig, so that the game
        // shows the one of the tower's level and plays the tower's animations on it.
        for (int level : {2, 3}) {
            const std::string name = tower + std::string("Level") + std::to_string(level);
            const aiNode* part = m.node(name);
            ASSERT_NE(part, nullptr) << file << " " << name;
            EXPECT_STREQ(part->mParent->mName.C_Str(), tower) << file << " " << name;
            ASSERT_GT(part->mNumMeshes, 0u) << file << " " << name;
            EXPECT_TRUE(m.scene->mMeshes[part->mMeshes[0]]->HasBones()) << file << " " << name;
        }
    }
    Model arrow("projectile_arrow.fbx");
    ASSERT_TRUE(arrow.ok());
    const aiNode* a = arrow.node("ProjectileArrow");
    EXPECT_GT(meshHeight(arrow, a), 1.0f) << "the arrow should point along its own +Y";
}

// The level models and their roads.
const std::vector<std::pair<std::string, int>> kLevelRoads = {
    {"Vezaz.fbx", 1}, {"Morrowfen.fbx", 2}, {"Cinderpass.fbx", 1}};

std::string numbered(const std::string& name, int road) {
    return road == 1 ? name : name + std::to_string(road);
}

class LevelModel : public ::testing::TestWithParam<std::pair<std::string, int>> {};

// Every road: a walk takes between half a minute and two at the prototype speeds (the exact timing is
// balanced with the simulator), it starts at its spawn point and ends by the core; every plot reaches
// a road, and the last stretch before the core has plots.
TEST_P(LevelModel, RoadsAndPlots) {
    const auto& [file, roads] = GetParam();
    Model m(file);
    ASSERT_TRUE(m.ok()) << file;
    std::vector<std::vector<aiVector3D>> paths;
    for (int r = 1; r <= roads; ++r) {
        const std::string carrierName = numbered("EnemyPathNode", r);
        const aiAnimation* path = m.animation(numbered("EnemyPath", r));
        ASSERT_NE(path, nullptr) << file << " road " << r;
        ASSERT_EQ(path->mNumChannels, 1u);
        EXPECT_EQ(std::string(path->mChannels[0]->mNodeName.C_Str()), carrierName);
        double seconds = path->mDuration / (path->mTicksPerSecond > 0 ? path->mTicksPerSecond : 24.0);
        for (float speed : {0.08f, 0.05f, 0.07f}) {
            EXPECT_GE(seconds / speed, 30.0) << file << " road " << r << " speed " << speed;
            EXPECT_LE(seconds / speed, 120.0) << file << " road " << r << " speed " << speed;
        }
        // path keys are in the frame of the carrier's parent
        const aiNode* carrier = m.node(carrierName);
        ASSERT_NE(carrier, nullptr);
        aiMatrix4x4 parent = worldOf(carrier->mParent);
        std::vector<aiVector3D> road;
        const aiNodeAnim* ch = path->mChannels[0];
        for (unsigned k = 0; k < ch->mNumPositionKeys; ++k)
            road.push_back(parent * ch->mPositionKeys[k].mValue);
        ASSERT_GE(road.size(), 2u);
        const aiNode* spawnPoint = m.node(numbered("EnemySpawnPoint", r));
        ASSERT_NE(spawnPoint, nullptr) << file << " road " << r;
        EXPECT_LT((positionOf(spawnPoint) - road.front()).Length(), 0.5f)
            << file << ": the spawn point of road " << r << " is not at its start";
        EXPECT_LT((positionOf(m.node("PlayerCore")) - road.back()).Length(), 3.0f)
            << file << ": road " << r << " does not end at the core";
        paths.push_back(std::move(road));
    }
    // No road beyond the last one: the game would take it.
    EXPECT_EQ(m.node(numbered("EnemyPathNode", roads + 1)), nullptr) << file;

    unsigned bases = 0, nearEnd = 0;
    std::function<void(const aiNode*)> walk = [&](const aiNode* n) {
        std::string name = n->mName.C_Str();
        if (name == "TowerBase" || name.rfind("TowerBase[", 0) == 0) {
            ++bases;
            aiVector3D p = positionOf(n);
            float best = 1e9f;
            bool end = false;
            for (const auto& road : paths)
                for (size_t k = 0; k < road.size(); ++k) {
                    float d = (road[k] - p).Length();
                    if (d < best)
                        best = d, end = k >= road.size() * 8 / 10;
                }
            EXPECT_LE(best, 2.0f) << file << ": " << name << " is out of an arrow tower's reach of the road";
            nearEnd += end;
        }
        for (unsigned i = 0; i < n->mNumChildren; ++i)
            walk(n->mChildren[i]);
    };
    walk(m.scene->mRootNode);
    EXPECT_GE(bases, 8u) << file;
    EXPECT_LE(bases, 24u) << file;
    EXPECT_GE(nearEnd, 2u) << file << ": the last stretch before the core needs plots";
}

// Each level's bodies cook into cache files of their own: two bodies sharing a cache name would
// load each other's cooked shapes.
TEST(GameData, BodyCacheNamesAreUnique) {
    std::map<std::string, std::string> owner;
    std::vector<std::string> clashes;
    for (const auto& [file, roads] : kLevelRoads) {
        Model m(file);
        ASSERT_TRUE(m.ok()) << file;
        std::function<void(const aiNode*)> walk = [&](const aiNode* n) {
            std::string cache = metaString(n, "BodyBufferFile");
            std::string where = file + " " + n->mName.C_Str();
            if (!cache.empty() && !owner.emplace(cache, where).second)
                clashes.push_back(cache + ": " + owner[cache] + " and " + where);
            for (unsigned i = 0; i < n->mNumChildren; ++i)
                walk(n->mChildren[i]);
        };
        walk(m.scene->mRootNode);
    }
    EXPECT_TRUE(clashes.empty()) << ::testing::PrintToString(clashes);
}

// The explosion, the orbital camera, the torches' ranges and the designer's helpers.
TEST_P(LevelModel, EffectsAndCamera) {
    Model m(GetParam().first);
    ASSERT_TRUE(m.ok()) << GetParam().first;
    const aiAnimation* boom = m.animation("ExplosionAnimation");
    ASSERT_NE(boom, nullptr);
    ASSERT_EQ(boom->mNumChannels, 1u);
    const aiNodeAnim* grow = boom->mChannels[0];
    ASSERT_GE(grow->mNumScalingKeys, 2u);
    EXPECT_LT(grow->mScalingKeys[0].mValue.x, 0.5f);
    EXPECT_NEAR(grow->mScalingKeys[grow->mNumScalingKeys - 1].mValue.x, 1.0f, 0.05f);
    EXPECT_NEAR(boom->mDuration / boom->mTicksPerSecond, 0.5, 0.15);

    EXPECT_EQ(metaString(m.node("camera_main"), "CameraType"), "Orbital");
    EXPECT_NE(m.node(metaString(m.node("camera_main"), "OrbitCenter")), nullptr) << "orbit centre node";
    EXPECT_GT(metaFloat(m.node("TorchLight1"), "Attenuation"), 0.0f);
    bool ignored = false;
    std::function<void(const aiNode*)> findIgnore = [&](const aiNode* n) {
        if (metaType(n, "Ignore"))
            ignored = true;
        for (unsigned i = 0; i < n->mNumChildren; ++i)
            findIgnore(n->mChildren[i]);
    };
    findIgnore(m.scene->mRootNode);
    EXPECT_TRUE(ignored) << "no helper node marked Ignore";
}

INSTANTIATE_TEST_SUITE_P(GameData, LevelModel, ::testing::ValuesIn(kLevelRoads), [](const auto& paramInfo) {
    return paramInfo.param.first.substr(0, paramInfo.param.first.find('.'));
});

// Each animation drives only the nodes it was made for: the exporter offers every action to every
// animated object, and a leaked copy would move the wrong node.
TEST(GameData, AnimationsDriveOnlyTheirOwnNodes) {
    std::map<std::string, std::set<std::string>> owners = {{"EnemyPath", {"EnemyPathNode"}},
                                                           {"EnemyPath2", {"EnemyPathNode2"}},
                                                           {"Intro", {"camera_main"}},
                                                           {"trackshot1", {"camera_trackshot"}},
                                                           {"trackshot2", {"camera_trackshot"}},
                                                           {"trackshot3", {"camera_trackshot"}},
                                                           {"trackshot4", {"camera_trackshot"}},
                                                           {"ExplosionAnimation", {"ExplosionNode"}},
                                                           {"Scene", {"camera_menu"}}};
    for (const char* file : {"Vezaz.fbx", "Morrowfen.fbx", "Cinderpass.fbx", "menu_main.fbx"}) {
        Model m(file);
        ASSERT_TRUE(m.ok()) << file;
        for (unsigned i = 0; i < m.scene->mNumAnimations; ++i) {
            const aiAnimation* a = m.scene->mAnimations[i];
            auto it = owners.find(Model::animationName(a));
            ASSERT_NE(it, owners.end()) << file << ": unexpected animation " << a->mName.C_Str();
            for (unsigned c = 0; c < a->mNumChannels; ++c)
                EXPECT_TRUE(it->second.count(a->mChannels[c]->mNodeName.C_Str()))
                    << file << ": " << a->mName.C_Str() << " drives " << a->mChannels[c]->mNodeName.C_Str();
        }
    }
}

std::vector<unsigned char> head(const fs::path& p, size_t n) {
    std::ifstream in(p, std::ios::binary);
    std::vector<unsigned char> buf(n);
    in.read(reinterpret_cast<char*>(buf.data()), static_cast<std::streamsize>(n));
    buf.resize(static_cast<size_t>(in.gcount()));
    return buf;
}

uint32_t be32(const std::vector<unsigned char>& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// The texture kinds the models and the level rely on.
TEST(GameData, TextureFolders) {
    std::vector<std::string> missing;
    // every level's sky (and the menu's) has its six faces
    for (const char* file : {"Vezaz.fbx", "Morrowfen.fbx", "Cinderpass.fbx", "menu_main.fbx"}) {
        Model m(file);
        ASSERT_TRUE(m.ok()) << file;
        const std::string sky = metaString(m.node("_sceneProperties"), "Ambient");
        for (const char* face : {"posx", "negx", "posy", "negy", "posz", "negz"})
            if (sky.empty() || !fs::exists(kTextures / sky / (std::string(face) + ".png")))
                missing.push_back(std::string(file) + ": sky face " + sky + "/" + face);
    }
    for (const char* prefix : {"ab", "no", "me", "ro", "ao"})
        if (!fs::exists(kTextures / "stone" / (std::string(prefix) + "_stone.png")))
            missing.push_back(std::string("stone/") + prefix + "_stone.png");
    size_t frames = 0;
    if (fs::is_directory(kTextures / "tv"))
        for (const auto& f : fs::directory_iterator(kTextures / "tv"))
            frames += f.path().extension() == ".png";
    if (frames < 2)
        missing.push_back("tv frames");
    EXPECT_TRUE(missing.empty()) << ::testing::PrintToString(missing);

    for (const char* ground :
         {"terrain/ab_ground.dds", "terrain_fen/ab_ground.dds", "terrain_ash/ab_ground.dds"}) {
        auto dds = head(kTextures / ground, 128);
        ASSERT_EQ(dds.size(), 128u) << ground;
        EXPECT_EQ(std::string(dds.begin(), dds.begin() + 4), "DDS ") << ground;
        EXPECT_EQ(dds[84], 'D') << ground;
        EXPECT_TRUE(dds[87] == '1' || dds[87] == '3' || dds[87] == '5') << ground << " is not DXT1/3/5";
    }

    for (const char* cursor : {"hud/cursor/default.png", "hud/cursor/no.png"}) {
        auto png = head(kTextures / cursor, 26);
        ASSERT_EQ(png.size(), 26u) << cursor;
        EXPECT_EQ(be32(png, 16), 32u) << cursor << " width";
        EXPECT_EQ(be32(png, 20), 32u) << cursor << " height";
        EXPECT_EQ(png[25], 6) << cursor << " is not RGBA";
    }
}

// The importer's test fixtures contain the situations they are named after.
TEST(Fixtures, ContainTheirCases) {
    const fs::path dir = "tests/fixtures";
    {
        Model m(dir / "two_meshes.fbx", true);
        ASSERT_TRUE(m.ok());
        const aiNode* tree = m.node("tree");
        ASSERT_NE(tree, nullptr);
        EXPECT_EQ(tree->mNumMeshes, 2u);
    }
    {
        Model m(dir / "ignored_subtree.fbx", true);
        ASSERT_TRUE(m.ok());
        EXPECT_TRUE(metaType(m.node("Helper"), "Ignore").has_value());
        EXPECT_NE(m.node("HelperGrandchild"), nullptr);
        EXPECT_FALSE(metaType(m.node("Kept"), "Ignore").has_value());
    }
    {
        Model m(dir / "materials.fbx", true);
        ASSERT_TRUE(m.ok());
        int albedo = 0;
        ASSERT_NE(m.material("AlbedoOff"), nullptr);
        EXPECT_EQ(aiGetMaterialInteger(m.material("AlbedoOff"), "$raw.Albedo", 0, 0, &albedo), AI_SUCCESS);
        EXPECT_EQ(albedo, -1);
        for (auto [name, red] : {std::pair{"DimGlow", 0.005f}, std::pair{"BrightGlow", 0.02f}}) {
            aiColor4D c;
            ASSERT_NE(m.material(name), nullptr) << name;
            ASSERT_EQ(aiGetMaterialColor(m.material(name), AI_MATKEY_COLOR_EMISSIVE, &c), AI_SUCCESS) << name;
            EXPECT_NEAR(c.r, red, 1e-4f) << name;
        }
    }
    {
        Model m(dir / "five_weights.fbx", true);
        ASSERT_TRUE(m.ok());
        const aiNode* blob = m.node("Blob");
        ASSERT_TRUE(blob && blob->mNumMeshes == 1);
        const aiMesh* mesh = m.scene->mMeshes[blob->mMeshes[0]];
        ASSERT_EQ(mesh->mNumBones, 5u);
        // vertices are split per face corner; find the corners at the origin and count their influences
        std::map<unsigned, unsigned> influences;
        for (unsigned b = 0; b < mesh->mNumBones; ++b)
            for (unsigned w = 0; w < mesh->mBones[b]->mNumWeights; ++w) {
                unsigned v = mesh->mBones[b]->mWeights[w].mVertexId;
                if (mesh->mVertices[v].Length() < 1e-4f)
                    ++influences[v];
            }
        ASSERT_FALSE(influences.empty());
        for (auto [v, count] : influences)
            EXPECT_EQ(count, 5u) << "vertex " << v;
    }
    {
        Model m(dir / "capsules.fbx", true);
        ASSERT_TRUE(m.ok());
        EXPECT_EQ(metaString(m.node("CubeCapsule"), "Body"), "BoundingCapsule");
        EXPECT_NEAR(meshHeight(m, m.node("TallCapsule")), 6.0f, 1e-3f) << "tall side must be the file's y";
    }
    {
        Model m(dir / "hull_children.fbx", true);
        ASSERT_TRUE(m.ok());
        const aiNode* hull = m.node("Rock_hull");
        ASSERT_NE(hull, nullptr);
        EXPECT_EQ(hull->mNumMeshes, 1u);
        EXPECT_EQ(m.node("Broken_hull")->mNumMeshes, 0u);
        EXPECT_EQ(m.node("Lonely")->mNumMeshes, 0u);
        EXPECT_EQ(m.node("Ground")->mNumMeshes, 1u);
    }
}

} // namespace

// Nothing in the game data may name a file by where it lay on the machine that made it: such a
// path breaks on every other machine (the importer would look for textures that are not there).
// The licence and read-me texts are prose and may quote system paths.
TEST(GameData, NoAbsolutePaths) {
    const std::regex unixRoot(
        R"((^|[^A-Za-z0-9_.~-])/(home|work|tmp|root|usr|mnt|opt|srv|var|Users|media)/[^\s]+)");
    const std::regex driveFile(
        R"((^|[^A-Za-z])[A-Za-z]:[\\/][^\s]*\.(png|jpg|jpeg|dds|tga|bmp|fbx|wav|ogg|ttf))",
        std::regex::icase);
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator("GAME_DATA")) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || extension == ".md" || extension == ".txt")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Printable runs, as strings(1) finds them: file names inside binary files are stored so.
        std::string run;
        for (std::size_t i = 0; i <= bytes.size(); ++i) {
            const char c = i < bytes.size() ? bytes[i] : '\0';
            if (c >= 0x20 && c < 0x7f) {
                run += c;
                continue;
            }
            std::smatch match;
            if (run.size() >= 6 && run.find_first_of("/:") != std::string::npos &&
                (std::regex_search(run, match, unixRoot) || std::regex_search(run, match, driveFile)))
                found.push_back(entry.path().string() + ": " + match.str());
            run.clear();
        }
    }
    EXPECT_TRUE(found.empty()) << found.size()
                               << " absolute paths, the first: " << (found.empty() ? "" : found.front());
}
