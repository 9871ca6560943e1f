// Sampler settings of model materials: files name them by OpenGL's enumerant names (or give their
// numbers), and the import turns them into the engine's texture enums.
#include "import/ModelImporter.h"

#include "render/Material.h"
#include "render/MeshNode.h"
#include "render/RenderDevice.h"
#include "render/Texture.h"
#include "scene/Scene.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace hm {
namespace {

namespace fs = std::filesystem;

class ImportScene : public Scene {
public:
    ImportScene() : Scene("import") {}
    void load() override {}
};

// An ASCII FBX with one triangle whose material "Sampled" has a texture in its albedo slot and
// the given extra property lines ("P: ..." entries of its Properties70).
std::string triangleWithMaterial(const std::string& properties) {
    return "; FBX 7.4.0 project file\n"
           "FBXHeaderExtension:  {\n FBXHeaderVersion: 1003\n FBXVersion: 7400\n}\n"
           "Objects:  {\n"
           " Geometry: 100, \"Geometry::Tri\", \"Mesh\" {\n"
           "  Vertices: *9 {\n   a: 0,0,0,1,0,0,0,1,0\n  }\n"
           "  PolygonVertexIndex: *3 {\n   a: 0,1,-3\n  }\n"
           "  LayerElementMaterial: 0 {\n   MappingInformationType: \"AllSame\"\n"
           "   ReferenceInformationType: \"IndexToDirect\"\n   Materials: *1 {\n    a: 0\n   }\n  }\n"
           "  Layer: 0 {\n   LayerElement:  {\n    Type: \"LayerElementMaterial\"\n    TypedIndex: 0\n   }\n "
           " }\n"
           " }\n"
           " Model: 200, \"Model::Tri\", \"Mesh\" {\n  Version: 232\n }\n"
           " Material: 300, \"Material::Sampled\", \"\" {\n  Version: 102\n  ShadingModel: \"phong\"\n"
           "  Properties70:  {\n"
           "   P: \"Albedo\", \"KString\", \"\", \"U\", \"palette/colorpicker.png\"\n" +
           properties +
           "  }\n }\n"
           "}\n"
           "Connections:  {\n C: \"OO\",200,0\n C: \"OO\",100,200\n C: \"OO\",300,200\n}\n";
}

TEST(MaterialImport, SamplerKeysNamedAsInOpenGLBecomeTheEngineEnums) {
    const TextureParameters defaults = [] {
        TextureParameters p;
        p.magFilter = TextureFilter::Linear;
        p.minFilter = TextureFilter::LinearMipmapLinear;
        p.wrapS = p.wrapT = TextureWrap::Repeat;
        return p;
    }();
    struct Case {
        const char* what;
        std::string properties;
        void (*expect)(TextureParameters&);
        bool warns;
    };
    const Case cases[] = {
        {"no sampler keys", "", [](TextureParameters&) {}, false},
        {"every key by name",
         "   P: \"AlbedoMagFilter\", \"KString\", \"\", \"U\", \"GL_NEAREST\"\n"
         "   P: \"AlbedoMinFilter\", \"KString\", \"\", \"U\", \"GL_NEAREST_MIPMAP_LINEAR\"\n"
         "   P: \"AlbedoWrapMethod\", \"KString\", \"\", \"U\", \"GL_CLAMP_TO_EDGE\"\n"
         "   P: \"AlbedoFormat\", \"KString\", \"\", \"U\", \"GL_RGBA8\"\n",
         [](TextureParameters& p) {
             p.magFilter = TextureFilter::Nearest;
             p.minFilter = TextureFilter::NearestMipmapLinear;
             p.wrapS = p.wrapT = TextureWrap::ClampToEdge;
             p.internalFormat = TextureFormat::RGBA8;
         },
         false},
        {"numbers",
         "   P: \"AlbedoMagFilter\", \"int\", \"Integer\", \"U\",9728\n"
         "   P: \"AlbedoWrapMethod\", \"int\", \"Integer\", \"U\",33648\n",
         [](TextureParameters& p) {
             p.magFilter = TextureFilter::Nearest;
             p.wrapS = p.wrapT = TextureWrap::MirroredRepeat;
         },
         false},
        {"a mipmap filter for magnification",
         "   P: \"AlbedoMagFilter\", \"KString\", \"\", \"U\", \"GL_LINEAR_MIPMAP_LINEAR\"\n",
         [](TextureParameters&) {}, true},
        {"a wrap mode named as a filter",
         "   P: \"AlbedoWrapMethod\", \"KString\", \"\", \"U\", \"GL_LINEAR\"\n", [](TextureParameters&) {},
         true},
    };
    const fs::path path = fs::temp_directory_path() / ("hm_material_" + std::to_string(::getpid()) + ".fbx");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(path) << triangleWithMaterial(c.properties);
        RenderDevice device(RenderDevice::Kind::Null);
        ImportScene scene;
        test::LogCapture log;
        ModelImporter importer;
        const std::unique_ptr<Node3D> root = importer.importFile(&scene, 0, path.string());
        ASSERT_NE(root, nullptr);
        const auto* triangle = dynamic_cast<const MeshNode*>(root->findByName("Tri"));
        ASSERT_NE(triangle, nullptr);
        ASSERT_NE(triangle->material(), nullptr);
        const auto albedo = triangle->material()->getTexture(Albedo);
        ASSERT_NE(albedo, nullptr);
        EXPECT_EQ(albedo->name(), "palette/colorpicker.png");
        TextureParameters expected = defaults;
        expected.borderColour = albedo->parameters().borderColour;
        c.expect(expected);
        EXPECT_TRUE(albedo->parameters() == expected);
        bool warned = false;
        for (const std::string& line : log.messages(spdlog::level::warn))
            warned = warned || line.find("Unknown value for property $raw.Albedo") != std::string::npos;
        EXPECT_EQ(warned, c.warns);
    }
    fs::remove(path);
}

} // namespace
} // namespace hm
