// Model files on arbitrary bytes, through the whole import that needs no OpenGL: the size and
// count checks before parsing, assimp's parse with its own structure validation, then our walk
// of the file: meshes and skinned meshes, materials with their texture slots, cameras, lights,
// physics bodies with their hull geometry, node and scene properties and node animations.
// Nothing may crash, and no file may cost more than the import allows.
//
// Every input gets a render device and a scene of its own, so materials, textures and
// animations of one input never decide what the next one does. The imported tree is not added
// to the scene: its bodies are not cooked, and nothing is written to the physics cache.
#include "FuzzSupport.h"

#include "import/ModelImporter.h"
#include "render/RenderDevice.h"
#include "scene/Node3D.h"
#include "scene/Scene.h"

#include <assimp/postprocess.h>

namespace {

class ImportScene : public hm::Scene {
public:
    ImportScene() : Scene("fuzz") {}
    void load() override {}
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    hm::fuzz::quietLogging();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static hm::fuzz::ScratchFile file(".fbx");
    const std::string& path = file.write(data, size);
    hm::RenderDevice device(hm::RenderDevice::Kind::Null);
    ImportScene scene;
    hm::ModelImporter importer;
    importer.addParseSteps(aiProcess_ValidateDataStructure);
    // Everything the import can read: node animations, scene and node properties, ambient.
    const int everything =
        hm::LoadNodeAnimations | hm::LoadSceneProperties | hm::LoadNodeProperties | hm::LoadAmbient;
    std::unique_ptr<hm::Node3D> root = importer.importFile(&scene, everything, path);
    return 0;
}
