// The model viewer's scene: framing, lighting, animation choice and the screenshot path, run
// through the window's game loop as hollowmere-view runs it.
#include "tools/viewer/ModelViewerScene.h"

#include "animation/RiggedMeshNode.h"
#include "app/Window.h"
#include "render/CameraNode.h"
#include "render/LightNode.h"
#include "render/MeshNode.h"
#include "render/OrbitCameraNode.h"
#include "support/GLTestWindow.h"
#include "support/ImageCompare.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace hm {
namespace {

namespace fs = std::filesystem;

ModelViewerScene::Outcome runViewer(const ModelViewerScene::Options& options) {
    auto outcome = std::make_shared<ModelViewerScene::Outcome>();
    test::glWindow().startGameLoop(std::make_unique<ModelViewerScene>(options, outcome));
    return *outcome;
}

// A grey cube (diffuse 0.64, corners at +-1) and a point lamp 40 units above it, as another
// modelling tool writes them in ASCII FBX. The lamp's light falls off with the square of the
// distance, so it reaches the cube with 1/1600 of its strength.
std::string cubeWithFarLamp() {
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 4, 6, 2},
                             {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 6, 7, 3}};
    const char* normals[6] = {"0,0,-1", "0,0,1", "-1,0,0", "1,0,0", "0,-1,0", "0,1,0"};
    std::string corners, indices, faceNormals;
    for (int i = 0; i < 8; ++i)
        corners += std::string(i ? "," : "") + (i & 1 ? "1," : "-1,") + (i & 2 ? "1," : "-1,") +
                   (i & 4 ? "1" : "-1");
    for (int f = 0; f < 6; ++f)
        for (int k = 0; k < 4; ++k) {
            // A polygon's last index is stored as its complement.
            indices += (f || k ? "," : "") + std::to_string(k == 3 ? ~faces[f][k] : faces[f][k]);
            faceNormals += std::string(f || k ? "," : "") + normals[f];
        }
    return "; FBX 7.4.0 project file\n"
           "FBXHeaderExtension:  {\n FBXHeaderVersion: 1003\n FBXVersion: 7400\n}\n"
           "Objects:  {\n"
           " Geometry: 100, \"Geometry::Cube\", \"Mesh\" {\n"
           "  Vertices: *24 {\n   a: " +
           corners +
           "\n  }\n"
           "  PolygonVertexIndex: *24 {\n   a: " +
           indices +
           "\n  }\n"
           "  LayerElementNormal: 0 {\n   Version: 101\n   MappingInformationType: \"ByPolygonVertex\"\n"
           "   ReferenceInformationType: \"Direct\"\n   Normals: *72 {\n    a: " +
           faceNormals +
           "\n   }\n  }\n"
           "  LayerElementMaterial: 0 {\n   MappingInformationType: \"AllSame\"\n"
           "   ReferenceInformationType: \"IndexToDirect\"\n   Materials: *1 {\n    a: 0\n   }\n  }\n"
           "  Layer: 0 {\n   Version: 100\n   LayerElement:  {\n    Type: \"LayerElementNormal\"\n"
           "    TypedIndex: 0\n   }\n   LayerElement:  {\n    Type: \"LayerElementMaterial\"\n"
           "    TypedIndex: 0\n   }\n  }\n"
           " }\n"
           " Model: 200, \"Model::Cube\", \"Mesh\" {\n  Version: 232\n }\n"
           " Material: 300, \"Material::Grey\", \"\" {\n  Version: 102\n  ShadingModel: \"phong\"\n"
           "  Properties70:  {\n   P: \"DiffuseColor\", \"Color\", \"\", \"A\",0.64,0.64,0.64\n  }\n }\n"
           " NodeAttribute: 400, \"NodeAttribute::Lamp\", \"Light\" {\n  Properties70:  {\n"
           "   P: \"LightType\", \"enum\", \"\", \"\",0\n   P: \"Color\", \"Color\", \"\", \"A\",1,1,1\n"
           "   P: \"Intensity\", \"Number\", \"\", \"A\",200\n  }\n  TypeFlags: \"Light\"\n }\n"
           " Model: 500, \"Model::Lamp\", \"Light\" {\n  Version: 232\n  Properties70:  {\n"
           "   P: \"Lcl Translation\", \"Lcl Translation\", \"\", \"A\",0,40,0\n  }\n }\n"
           "}\n"
           "Connections:  {\n C: \"OO\",200,0\n C: \"OO\",100,200\n C: \"OO\",300,200\n C: \"OO\",500,0\n"
           " C: \"OO\",400,500\n}\n";
}

// The mean brightness of the square of side 2 * half around the picture's centre.
float centreBrightness(const test::Image& image, int half) {
    float sum = 0.0f;
    for (int y = image.height / 2 - half; y < image.height / 2 + half; ++y)
        for (int x = image.width / 2 - half; x < image.width / 2 + half; ++x)
            sum += image.luminance(x, y);
    return sum / static_cast<float>(4 * half * half);
}

TEST(ModelViewer, ShowsAModelLitByItsOwnSunUnlessTheFileLightsAreAskedFor) {
    const fs::path folder = fs::temp_directory_path() / "hm_viewer_lamp";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string model = (folder / "cube_with_lamp.fbx").string();
    std::ofstream(model) << cubeWithFarLamp();
    const std::string sunShot = (folder / "sun.png").string(), lampShot = (folder / "lamp.png").string();

    test::LogCapture log;
    ModelViewerScene::Options options{model, "", sunShot, 1};
    ASSERT_TRUE(runViewer(options).screenshotWritten);
    EXPECT_TRUE(
        log.contains("Lights: the viewer's sun; the file's own (Lamp) are off (--file-lights uses them)."));
    options.screenshot = lampShot;
    options.fileLights = true;
    ASSERT_TRUE(runViewer(options).screenshotWritten);
    EXPECT_TRUE(log.contains("Lights: the file's own (Lamp)."));

    // The cube fills the centre of the picture: lit by the sun it is clearly bright; by the far
    // lamp alone it is nearly black.
    const float sun = centreBrightness(test::loadPng(sunShot), 20);
    const float lamp = centreBrightness(test::loadPng(lampShot), 20);
    EXPECT_GT(sun, 60.0f);
    EXPECT_LT(lamp, 25.0f);
}

TEST(ModelViewer, ScreenshotsOfTwoAnimationTimesShowDifferentSilhouettes) {
    const fs::path folder = fs::temp_directory_path() / "hm_viewer_test";
    fs::remove_all(folder);
    const std::string early = (folder / "early.png").string(), late = (folder / "late.png").string();

    const auto first = runViewer({"tower_arrow.fbx", "Construction", early, 3});
    EXPECT_TRUE(first.modelLoaded);
    EXPECT_TRUE(first.animationFound);
    EXPECT_TRUE(first.screenshotWritten);
    EXPECT_EQ(first.framesRendered, 3);
    const auto second = runViewer({"GAME_DATA/models/tower_arrow.fbx", "Construction", late, 30});
    ASSERT_TRUE(second.screenshotWritten);

    const test::Image a = test::loadPng(early), b = test::loadPng(late);
    ASSERT_EQ(a.width, b.width);
    ASSERT_GT(a.width, 0);
    const test::Difference d = test::compare(a, b, 24);
    // The tower rises out of its plinth: a large share of the picture changes.
    EXPECT_GT(static_cast<double>(d.pixelsOver) / (a.width * a.height), 0.02);
}

TEST(ModelViewer, AMissingModelOrAnimationEndsOrIsReported) {
    test::LogCapture log;
    const auto missing = runViewer({"no_such_model.fbx", "", "", 1});
    EXPECT_FALSE(missing.modelLoaded);
    EXPECT_LE(missing.framesRendered, 1);

    const std::string shot = (fs::temp_directory_path() / "hm_viewer_test" / "base.png").string();
    const auto unknown = runViewer({"tower_base.fbx", "Dance", shot, 1});
    EXPECT_TRUE(unknown.modelLoaded);
    EXPECT_FALSE(unknown.animationFound);
    EXPECT_TRUE(log.contains("The model has no skeletal or node animation named Dance."));
}

TEST(ModelViewer, FramesTheWholeModelAndLightsItWhenTheFileHasNoLight) {
    Window& window = test::glWindow();
    ModelViewerScene scene({"enemy_massive_stone_monster.fbx", "Walk", "", 1});
    scene.start(window);
    scene.update(window, 0.0f);
    ASSERT_NE(scene.model(), nullptr);
    ASSERT_EQ(scene.activeCamera(), scene.camera());
    EXPECT_NE(scene.sun(), nullptr);
    EXPECT_NE(scene.skyboxMaterial(), nullptr);

    const glm::mat4 viewProjection = scene.camera()->getProjection() * scene.camera()->getView();
    std::size_t vertices = 0;
    std::function<void(Node3D&)> visit = [&](Node3D& node) {
        if (auto* mesh = dynamic_cast<MeshNode*>(&node))
            for (const Vertex& v : mesh->mesh()->vertices()) {
                const glm::vec4 clip = viewProjection * node.getWorldMatrix() * glm::vec4(v.position, 1.0f);
                ASSERT_GT(clip.w, 0.0f);
                ASSERT_LE(std::abs(clip.x / clip.w), 1.0f);
                ASSERT_LE(std::abs(clip.y / clip.w), 1.0f);
                ++vertices;
            }
        for (const auto& child : node.getChildren())
            visit(*child);
    };
    visit(*scene.model());
    EXPECT_GT(vertices, 0u);

    auto* monster = dynamic_cast<RiggedMeshNode*>(scene.model()->findByName("EnemyMassiveStoneMonster"));
    ASSERT_NE(monster, nullptr);
    ASSERT_NE(monster->currentAnimation(), nullptr);
    EXPECT_EQ(monster->currentAnimation()->name(), "Walk");

    // A level brings its own sun: the viewer's replaces it, unless the file's lights are asked for.
    ModelViewerScene level({"Vezaz.fbx", "Intro", "", 1});
    level.start(window);
    ASSERT_NE(level.sun(), nullptr);
    EXPECT_EQ(level.sun()->getName(), "viewer_sun");
    ModelViewerScene ownLights({"Vezaz.fbx", "Intro", "", 1, true});
    ownLights.start(window);
    ASSERT_NE(ownLights.sun(), nullptr);
    EXPECT_EQ(ownLights.sun()->getName(), "Sun");
}

} // namespace
} // namespace hm
